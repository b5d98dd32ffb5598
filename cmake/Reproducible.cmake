# The shipped files are the same bytes whatever folder they are built in and
# whenever (scripts/check-release.sh builds twice and compares):
#  - source paths are written relative to the source folder (__FILE__, debug
#    information), build paths relative to the build folder;
#  - Windows files carry no link time stamp (cmake/Windows.cmake), Linux
#    files no build ID (cmake/Release.cmake): the ID is a hash of the whole
#    linked file, debug information included, whose source paths depend on
#    how the compiler was called (ccache passes them relative), although the
#    packages strip that information;
#  - archives are packed with fixed times, owners and order (scripts/release.sh).
# Included before the subdirectories, so every target compiles this way.
include_guard(GLOBAL)

# GCC and clang take the last matching map first: the build folder may lie
# inside the source folder, and its own map must win there.
add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=.>")
