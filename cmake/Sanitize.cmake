# GH_SANITIZE: AddressSanitizer (with LeakSanitizer) and UBSan on every
# target: the tests, the tools, glyphmem and the libraries they load, so that
# one runtime sees every allocation.  UBSan findings stop the program.
# GCC links the sanitizer runtimes as shared libraries, so the libraries'
# --no-undefined still holds.
if(GH_SANITIZE)
    if(MSVC OR WIN32)
        message(FATAL_ERROR "GH_SANITIZE is for Linux builds")
    endif()
    set(gh_sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_compile_options(${gh_sanitize_flags})
    add_link_options(-fsanitize=address,undefined)
endif()
