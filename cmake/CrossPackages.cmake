# Header-only packages and googletest for the cross builds (the Windows DLLs
# and the i686 Linux build).  Included by the top-level CMakeLists.txt, via
# cmake/Windows.cmake for Windows.
#
# nlohmann-json and CLI11 are installed for the host in /usr/include, which
# must never be on a cross compiler's include path (the host's C library
# headers would shadow the target's).  Their folders are copied into the
# build tree, and small package configurations make find_package() find them
# as in a native build.
include_guard(GLOBAL)

set(GH_STAGED_INCLUDE ${CMAKE_BINARY_DIR}/staged-include)
set(GH_STAGED_CONFIG ${CMAKE_BINARY_DIR}/staged-config)

function(gh_stage_header_package package folder target)
    if(NOT EXISTS /usr/include/${folder})
        return()
    endif()
    file(COPY /usr/include/${folder} DESTINATION ${GH_STAGED_INCLUDE})
    set(dir ${GH_STAGED_CONFIG}/${package})
    file(WRITE ${dir}/${package}Config.cmake
"# Staged by cmake/CrossPackages.cmake: the header-only package, from the build tree.
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
    if(WIN32)
        set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)  # Win32 threads instead
    endif()
    add_subdirectory(${GH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    file(WRITE ${GH_STAGED_CONFIG}/GTest/GTestConfig.cmake
        "# The GTest:: targets are built from source by cmake/CrossPackages.cmake.\n")
    set(GTest_DIR ${GH_STAGED_CONFIG}/GTest CACHE PATH "Staged GTest configuration" FORCE)
endif()
