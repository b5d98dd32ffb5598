# gh_warnings: the warning flags every target of ours uses.
add_library(gh_warnings INTERFACE)
target_compile_options(gh_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wcast-qual -Wundef
    $<$<BOOL:${GH_WERROR}>:-Werror>)

# gh_library_code: flags for code that ends up in the shipped libraries.
# No exceptions and no RTTI: nothing can be thrown across the entry point.
add_library(gh_library_code INTERFACE)
target_compile_options(gh_library_code INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
target_link_libraries(gh_library_code INTERFACE gh_warnings)
target_include_directories(gh_library_code INTERFACE ${PROJECT_SOURCE_DIR})
