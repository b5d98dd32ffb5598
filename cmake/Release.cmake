# What a release package holds, as the install component "release"
# (scripts/release.sh installs it from each build tree and packs it):
#
#   both:          LICENSE, CHANGELOG.md, functions.md, README.txt,
#                  include/glyphherder.h, examples/host.c
#   Windows (cmake/Windows.cmake installs the DLLs, x86/ or x64/, and
#   README.txt)
#   Linux:         glyphHerderU.so, glyphHerder.so, libglyphmem.so.1,
#                  glyphhost
#
# On Linux everything lies in one folder: the libraries and glyphhost find
# each other there (run path $ORIGIN), wherever the folder is unpacked.
include_guard(GLOBAL)

install(FILES
        ${PROJECT_SOURCE_DIR}/docs/functions.md
        ${PROJECT_SOURCE_DIR}/LICENSE
        ${PROJECT_SOURCE_DIR}/CHANGELOG.md
    DESTINATION . COMPONENT release)
install(FILES ${PROJECT_SOURCE_DIR}/include/glyphherder.h DESTINATION include COMPONENT release)
install(FILES ${PROJECT_SOURCE_DIR}/examples/host.c DESTINATION examples COMPONENT release)

if(NOT WIN32)
    # gh_shipped(<target>...): a file of the Linux package.
    #  - It links the shipped build of glyphmem (platform/CMakeLists.txt).
    #  - libstdc++ and libgcc go inside, so that it needs only the C library
    #    and libglyphmem.so.1 (resources/linux-needs.txt lists what it
    #    may need, and the oldest glibc it runs on); not in the sanitizer
    #    builds, whose runtimes expect the shared C++ runtime.
    #  - Its run path is $ORIGIN, in the build tree too, so that installing
    #    rewrites nothing and no build folder is written into it; it carries
    #    no build ID (cmake/Reproducible.cmake).
    function(gh_shipped)
        foreach(target ${ARGN})
            set_target_properties(${target} PROPERTIES
                GH_SHIPPED ON
                BUILD_WITH_INSTALL_RPATH ON
                INSTALL_RPATH "$ORIGIN")
            if(NOT GH_SANITIZE AND NOT GH_TSAN)
                target_link_options(${target} PRIVATE
                    -static-libstdc++ -static-libgcc -Wl,--as-needed)
            endif()
            # No build ID: it hashes the debug information too, which the
            # package strips but whose paths vary (cmake/Reproducible.cmake).
            target_link_options(${target} PRIVATE -Wl,--build-id=none)
        endforeach()
    endfunction()
    gh_shipped(glyphHerderU glyphHerder glyphmem_shipped glyphhost)

    # What the files may need differs by processor where the ABIs do (the
    # oldest glibc of aarch64 is 2.17; its programs name no loader).
    set(GH_LINUX_NEEDS_FILE ${PROJECT_SOURCE_DIR}/resources/linux-needs-${CMAKE_SYSTEM_PROCESSOR}.txt)
    if(NOT EXISTS ${GH_LINUX_NEEDS_FILE})
        set(GH_LINUX_NEEDS_FILE ${PROJECT_SOURCE_DIR}/resources/linux-needs.txt)
    endif()

    # The libraries' SONAME carries the release: glyphHerderU.so.<version>.
    # The host loads them by file name (glyphHerderU.so, glyphHerder.so),
    # which stays as it is; libglyphmem's SONAME carries its interface
    # version, the project's major version (libglyphmem.so.1), as that is
    # what the libraries and hosts ask the loader for.
    foreach(library glyphHerderU glyphHerder)
        set_target_properties(${library} PROPERTIES NO_SONAME ON)
        target_link_options(${library} PRIVATE -Wl,-soname,${library}.so.${PROJECT_VERSION})
    endforeach()

    install(TARGETS glyphHerderU glyphHerder glyphhost
        RUNTIME DESTINATION . COMPONENT release
        LIBRARY DESTINATION . COMPONENT release)
    # libglyphmem.so.1 alone: a host links to it by that name
    # (-l:libglyphmem.so.1), there is no development link.
    install(TARGETS glyphmem_shipped LIBRARY DESTINATION . COMPONENT release NAMELINK_SKIP)

    # The users' README of the Linux package: the files, how to install and
    # try them, how to check the download, and the catalogue.
    set(readme ${CMAKE_BINARY_DIR}/README.txt)
    add_custom_command(OUTPUT ${readme}
        COMMAND ${CMAKE_COMMAND}
            -DGH_MODE=readme
            -DGH_PLATFORM=linux
            -DGH_ARCH=${CMAKE_SYSTEM_PROCESSOR}
            -DGH_VERSION=${PROJECT_VERSION}
            -DGH_SOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DGH_OUT=${readme}
            -P ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
        DEPENDS
            ${PROJECT_SOURCE_DIR}/cmake/catalogue.cmake
            ${PROJECT_SOURCE_DIR}/resources/catalogue.def
            ${PROJECT_SOURCE_DIR}/resources/catalogue.h
            ${PROJECT_SOURCE_DIR}/resources/release-readme-linux.txt.in
            ${GH_LINUX_NEEDS_FILE}
            ${PROJECT_SOURCE_DIR}/docs/functions.json
        COMMENT "Generating the release README"
        VERBATIM)
    add_custom_target(gh_release_readme ALL DEPENDS ${readme})
    install(FILES ${readme} DESTINATION . COMPONENT release)
endif()
