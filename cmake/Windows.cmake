# Windows builds (MinGW-w64 cross builds, see cmake/toolchain-mingw-*.cmake).
#
# Included by the top-level CMakeLists.txt before the subdirectories when
# building for Windows.  It
#  - links every program and library with the compiler runtime inside, so the
#    DLLs and tools need nothing but Windows system DLLs;
#  - provides gh_windows_library(), which gives a shipped DLL its plain export
#    name and its catalogue resources;
#  - makes the header-only packages and googletest usable without ever putting
#    the host's /usr/include on the cross compiler's path;
#  - runs Windows programs under wine in a prefix of the build tree's own.
include_guard(GLOBAL)

enable_language(RC)
# The resource scripts are UTF-8.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# libgcc, libstdc++ and libwinpthread go inside every binary: a user installs
# the DLL and nothing else.
add_link_options(-static -static-libgcc -static-libstdc++)

# Where a release puts this architecture's DLLs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(GH_WINDOWS_ARCH x64)
else()
    set(GH_WINDOWS_ARCH x86)
endif()

if(NOT GH_MINGW_OBJDUMP)
    set(GH_MINGW_OBJDUMP objdump)
endif()
find_program(GH_OBJDUMP NAMES ${GH_MINGW_OBJDUMP} REQUIRED)

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

# --- Header-only packages and googletest for the cross build ---------------
#
# nlohmann-json and CLI11 are installed for the host in /usr/include, which
# must never be on the cross compiler's include path (the host's C library
# headers would shadow MinGW's).  Their folders are copied into the build
# tree, and small package configurations make find_package() find them as on
# Linux.
set(GH_STAGED_INCLUDE ${CMAKE_BINARY_DIR}/staged-include)
set(GH_STAGED_CONFIG ${CMAKE_BINARY_DIR}/staged-config)

function(gh_stage_header_package package folder target)
    if(NOT EXISTS /usr/include/${folder})
        return()
    endif()
    file(COPY /usr/include/${folder} DESTINATION ${GH_STAGED_INCLUDE})
    set(dir ${GH_STAGED_CONFIG}/${package})
    file(WRITE ${dir}/${package}Config.cmake
"# Staged by cmake/Windows.cmake: the header-only package, from the build tree.
if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES \"${GH_STAGED_INCLUDE}\")
endif()
")
    foreach(version_file
            /usr/share/cmake/${package}/${package}ConfigVersion.cmake
            /usr/lib/cmake/${package}/${package}ConfigVersion.cmake)
        if(EXISTS ${version_file})
            file(COPY ${version_file} DESTINATION ${dir})
            break()
        endif()
    endforeach()
    set(${package}_DIR ${dir} CACHE PATH "Staged ${package} configuration" FORCE)
endfunction()

gh_stage_header_package(nlohmann_json nlohmann nlohmann_json::nlohmann_json)
gh_stage_header_package(CLI11 CLI CLI11::CLI11)

# googletest is built from the Debian sources for the cross build, on demand.
set(GH_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources")
if(GH_BUILD_TESTS AND EXISTS ${GH_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)  # Win32 threads instead
    add_subdirectory(${GH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    file(WRITE ${GH_STAGED_CONFIG}/GTest/GTestConfig.cmake
        "# The GTest:: targets are built from source by cmake/Windows.cmake.\n")
    set(GTest_DIR ${GH_STAGED_CONFIG}/GTest CACHE PATH "Staged GTest configuration" FORCE)
endif()

# --- Running Windows programs under wine -------------------------------------
#
# Every Windows program that ctest runs goes through bin/wine-run, which uses
# the build tree's own wine prefix, quietly and without any window, and
# creates the prefix on first use (scripts/wine-prefix.sh, serialised by a
# lock, so parallel tests boot it once).  The test wine_prefix does that first
# boot as a fixture so the slow part is done once, before the other tests.
set(GH_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of this build tree")
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(GH_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})
    set(GH_WINE_PREFIX_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/bin/wine-run
        @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
        GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/bin/wine-run)
    set(GH_CAN_RUN_WINDOWS_PROGRAMS ON)
else()
    set(GH_CAN_RUN_WINDOWS_PROGRAMS OFF)
endif()

# gh_add_windows_test(NAME <name> COMMAND <target> [args...]): a test run
# under wine after the prefix exists.
function(gh_add_windows_test)
    cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()
