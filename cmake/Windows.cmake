# Windows builds (MinGW-w64 cross builds, see cmake/toolchain-mingw-*.cmake).
#
# Included by the top-level CMakeLists.txt before the subdirectories when
# building for Windows.  It
#  - links every program and library with the compiler runtime inside, so the
#    DLLs and tools need nothing but Windows system DLLs;
#  - provides gh_windows_library(), which gives a shipped DLL its plain export
#    name and its catalogue resources;
#  - makes the header-only packages and googletest usable without ever putting
#    the host's /usr/include on the cross compiler's path (CrossPackages.cmake);
#  - runs Windows programs under wine in a prefix of the build tree's own.
include_guard(GLOBAL)

enable_language(RC)
# The resource scripts are UTF-8.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# libgcc, libstdc++ and libwinpthread go inside every binary: a user installs
# the DLL and nothing else.
add_link_options(-static -static-libgcc -static-libstdc++)
# No link time in the PE header: two builds of one commit give the same bytes.
add_link_options(-Wl,--no-insert-timestamp)

# Where a release puts this architecture's DLLs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(GH_WINDOWS_ARCH x64)
else()
    set(GH_WINDOWS_ARCH x86)
endif()

# gh_windows_library(<target> <wide>): the finishing touches of a shipped DLL.
function(gh_windows_library target wide)
    # The entry point is __stdcall on 32-bit Windows, which the compiler
    # decorates as glyphHerder@24; the host looks up the plain name.
    # --kill-at exports the undecorated name only.
    target_link_options(${target} PRIVATE -Wl,--kill-at
        $<$<CONFIG:Release,MinSizeRel>:-s>)

    if(wide)
        set(build wide)
    else()
        set(build byte)
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    add_custom_command(OUTPUT ${rc}
        COMMAND ${CMAKE_COMMAND}
            -DGH_MODE=rc
            -DGH_BUILD=${build}
            -DGH_TARGET=${target}
            -DGH_VERSION=${PROJECT_VERSION}
            -DGH_DESCRIPTION=${PROJECT_DESCRIPTION}
            -DGH_SOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DGH_OUT=${rc}
            -P ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
        DEPENDS
            ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
            ${PROJECT_SOURCE_DIR}/resources/catalogue.def
            ${PROJECT_SOURCE_DIR}/resources/catalogue.h
            ${PROJECT_SOURCE_DIR}/resources/catalogue.rc.in
        COMMENT "Generating the catalogue resources of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${rc})

    # A release holds the DLLs in a folder per architecture (x86/, x64/).
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${GH_WINDOWS_ARCH} COMPONENT release)
endfunction()

# The text for the host's users that a release carries: which DLL goes where,
# and the catalogue with each function's parameters.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/README.txt
    COMMAND ${CMAKE_COMMAND}
        -DGH_MODE=readme
        -DGH_VERSION=${PROJECT_VERSION}
        -DGH_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        -DGH_OUT=${CMAKE_BINARY_DIR}/README.txt
        -P ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
    DEPENDS
        ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
        ${PROJECT_SOURCE_DIR}/resources/catalogue.def
        ${PROJECT_SOURCE_DIR}/resources/catalogue.h
        ${PROJECT_SOURCE_DIR}/resources/release-readme.txt.in
        ${PROJECT_SOURCE_DIR}/docs/functions.json
    COMMENT "Generating the release README"
    VERBATIM)
add_custom_target(gh_release_readme ALL DEPENDS ${CMAKE_BINARY_DIR}/README.txt)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION . COMPONENT release)

# Header-only packages and googletest, as for every cross build.
include(${CMAKE_CURRENT_LIST_DIR}/CrossPackages.cmake)

# --- Running Windows programs under wine -------------------------------------
#
# Every Windows program that ctest runs goes through bin/wine-run, which uses
# the build tree's own wine prefix, quietly and without any window, and
# creates the prefix on first use (scripts/wine-prefix.sh, serialised by a
# lock, so parallel tests boot it once).  The test wine_prefix does that first
# boot as a fixture so the slow part is done once, before the other tests.
#
# x64 programs run on the 64-bit loader itself (wine64), in a 64-bit prefix
# that loader boots alone: Debian's `wine` and `wineboot` commands start the
# 32-bit loader first, which fails where the kernel runs no 32-bit programs.
# x86 programs need the 32-bit loader, so they run only where 32-bit programs
# do; scripts/runs-32bit.sh answers at every configure (GH_FORCE_NO_32BIT=1
# answers no).  Elsewhere the x86 DLLs are built and checked from their files
# only, and the library's 32-bit code is tested by the linux-i686 preset.
set(GH_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of this build tree")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(GH_WINE64_LOADER NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine
        DOC "The 64-bit wine loader")
    set(GH_WINE_LOADER ${GH_WINE64_LOADER})
else()
    execute_process(
        COMMAND ${PROJECT_SOURCE_DIR}/scripts/runs-32bit.sh --say ${CMAKE_BINARY_DIR}
        RESULT_VARIABLE runs_32bit
        OUTPUT_VARIABLE said OUTPUT_STRIP_TRAILING_WHITESPACE)
    message(STATUS "${said}")
    set(GH_RUNS_32BIT_NOTE "${said}" CACHE INTERNAL "The answer, for the test scripts")
    if(runs_32bit EQUAL 0)
        set(GH_RUNS_32BIT ON CACHE INTERNAL "32-bit programs run on this machine")
        find_program(GH_WINE32_LOADER NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH
            DOC "The 32-bit wine loader")
        find_program(GH_WINE32_LOADER NAMES wine DOC "The 32-bit wine loader")
        set(GH_WINE_LOADER ${GH_WINE32_LOADER})
    else()
        set(GH_RUNS_32BIT OFF CACHE INTERNAL "32-bit programs run on this machine")
        set(GH_WINE_LOADER "")
    endif()
endif()
if(GH_WINE_LOADER)
    set(GH_WINE_PREFIX_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/bin/wine-run
        @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
        GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/bin/wine-run)
    set(GH_CAN_RUN_WINDOWS_PROGRAMS ON)
else()
    if(GH_RUNS_32BIT OR CMAKE_SIZEOF_VOID_P EQUAL 8)
        message(WARNING "No wine loader for ${GH_WINDOWS_ARCH} programs found: "
                        "only the DLL files are checked (scripts/deps.sh installs wine)")
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR "")
    set(GH_CAN_RUN_WINDOWS_PROGRAMS OFF)
    file(REMOVE ${CMAKE_BINARY_DIR}/bin/wine-run)
endif()

# gh_add_windows_test(NAME <name> COMMAND <target> [args...]): a test run
# under wine after the prefix exists.
function(gh_add_windows_test)
    cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()
