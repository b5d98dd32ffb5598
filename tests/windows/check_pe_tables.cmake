# Checks a DLL's export and import tables with the MinGW objdump:
#
#   cmake -DOBJDUMP=<objdump> -DDLL=<file.dll> -P check_pe_tables.cmake
#
# The only export is the plain name glyphHerder (no glyphHerder@24, no
# leading underscore, no catalogue data), and every imported DLL is part of
# Windows: a user installs the DLL and nothing else.
execute_process(COMMAND ${OBJDUMP} -p ${DLL}
    OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
get_filename_component(dll_name ${DLL} NAME)

string(REGEX MATCHALL "\tDLL Name: [^\n]+" import_lines "${dump}")
set(imports "")
foreach(line IN LISTS import_lines)
    string(REGEX REPLACE "^\tDLL Name: " "" name "${line}")
    list(APPEND imports "${name}")
endforeach()

set(exports "")
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(NOT at EQUAL -1)
    string(SUBSTRING "${dump}" ${at} -1 table)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" export_lines "${table}")
    foreach(line IN LISTS export_lines)
        string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${line}")
        list(APPEND exports "${name}")
    endforeach()
endif()

message(STATUS "${dll_name} exports: ${exports}")
message(STATUS "${dll_name} imports: ${imports}")

if(NOT exports STREQUAL "glyphHerder")
    message(FATAL_ERROR "${dll_name} must export exactly glyphHerder, exports: ${exports}")
endif()
if(NOT imports)
    message(FATAL_ERROR "${dll_name}: no import table found")
endif()
foreach(name IN LISTS imports)
    string(TOLOWER "${name}" lower)
    if(lower MATCHES "^(libgcc|libstdc|libwinpthread)")
        message(FATAL_ERROR "${dll_name} needs the compiler runtime DLL ${name}: "
                            "link it statically")
    endif()
    if(NOT lower MATCHES "^(kernel32|user32|advapi32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\\.dll$")
        message(FATAL_ERROR "${dll_name} imports ${name}, which is not a Windows system DLL")
    endif()
endforeach()
