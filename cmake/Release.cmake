# What a release package holds, as the install component "release"
# (scripts/release.sh installs it from each build tree and packs it):
#
#   Windows (cmake/Windows.cmake installs the DLLs, x86/ or x64/, and
#   README.txt):   functions.md
#   Linux:         glyphHerderU.so, glyphHerder.so, libglyphmem.so, glyphhost,
#                  README.txt, functions.md
#
# On Linux everything lies in one folder: the libraries and glyphhost find
# each other there (run path $ORIGIN), wherever the folder is unpacked.
include_guard(GLOBAL)

install(FILES ${PROJECT_SOURCE_DIR}/docs/functions.md DESTINATION . COMPONENT release)

if(NOT WIN32)
    set_target_properties(glyphhost PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS glyphHerderU glyphHerder glyphmem glyphhost
        RUNTIME DESTINATION . COMPONENT release
        LIBRARY DESTINATION . COMPONENT release)

    # The users' README of the Linux package: the files, how to try them, how
    # to check the download, and the catalogue.
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
            ${PROJECT_SOURCE_DIR}/docs/functions.json
        COMMENT "Generating the release README"
        VERBATIM)
    add_custom_target(gh_release_readme ALL DEPENDS ${readme})
    install(FILES ${readme} DESTINATION . COMPONENT release)
endif()
