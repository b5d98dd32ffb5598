# GH_SANITIZE: AddressSanitizer (with LeakSanitizer) and UBSan on every
# target: the tests, the tools, glyphmem and the libraries they load, so that
# one runtime sees every allocation.  UBSan findings stop the program.
# GCC links the sanitizer runtimes as shared libraries, so the libraries'
# --no-undefined still holds; clang links them into the executables only,
# so a clang build leaves the libraries' sanitizer symbols to the program
# that loads them (library/CMakeLists.txt).
#
# GH_BUILD_FUZZ (clang only) implies GH_SANITIZE and adds libFuzzer's
# coverage instrumentation to every target, the library core and glyphmem
# included; the fuzz targets themselves link libFuzzer (fuzz/).
if(GH_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "GH_BUILD_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
    endif()
    set(GH_SANITIZE ON)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
# GH_TSAN: ThreadSanitizer on every target, the libraries and glyphmem
# included (preset linux-tsan, for the concurrency tests).  It cannot be
# combined with GH_SANITIZE.
if(GH_TSAN)
    if(GH_SANITIZE OR WIN32)
        message(FATAL_ERROR "GH_TSAN is for Linux builds without GH_SANITIZE")
    endif()
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
if(GH_SANITIZE)
    if(MSVC OR WIN32)
        message(FATAL_ERROR "GH_SANITIZE is for Linux builds")
    endif()
    set(gh_sanitize_flags -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_compile_options(${gh_sanitize_flags})
    add_link_options(-fsanitize=address,undefined)
endif()

