# Checks a shipped Linux library's dynamic tables: it uses no C++ runtime
# (nothing can throw), and it exports only the entry point and the catalogue
# data.
#   cmake -DLIBRARY=path -DREADELF=readelf -DNM=nm -P check_elf_tables.cmake
execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "readelf failed on ${LIBRARY}")
endif()
# What it may need is checked from resources/linux-needs.txt (check_shipped.sh).
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
string(REGEX REPLACE "Shared library: \\[([^]]+)\\]" "\\1" needed "${needed}")

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE defined)
string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" symbols "${defined}")
set(exports "")
foreach(line ${symbols})
    string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
    list(APPEND exports ${name})
endforeach()
list(SORT exports)
if(NOT exports STREQUAL "glyphHerder;glyphHerderQ7INF;glyphHerderStrings")
    message(FATAL_ERROR "${LIBRARY} exports ${exports}; expected only glyphHerder and the catalogue data")
endif()

execute_process(COMMAND ${NM} -D --undefined-only ${LIBRARY} OUTPUT_VARIABLE undefined)
if(undefined MATCHES "__cxa_throw|_Znw|_Zna|__cxa_guard|__gxx_personality")
    message(FATAL_ERROR "${LIBRARY} uses the C++ runtime (exceptions, new or guarded statics)")
endif()
message(STATUS "${LIBRARY}: needs ${needed}; exports ${exports}")
