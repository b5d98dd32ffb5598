# Checks a DLL's export and import tables with the MinGW objdump:
#
#   cmake -DOBJDUMP=<objdump> -DDLL=<file.dll> -P check_pe_tables.cmake
#
# The only export is the plain name glyphHerder (no glyphHerder@24, no
# leading underscore, no catalogue data); every imported DLL is part of
# Windows, so a user installs the DLL and nothing else; and the memory blocks
# and the beep are kernel32's, the global memory the host shares.
cmake_minimum_required(VERSION 3.20)

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

# The functions imported from KERNEL32.dll: the lines after its "DLL Name"
# up to the next empty line.
set(kernel32 "")
if(dump MATCHES "\tDLL Name: KERNEL32.dll\n[^\n]*\n(([^\n]+\n)*)")
    string(REGEX MATCHALL "[0-9]+  [A-Za-z_0-9]+" entries "${CMAKE_MATCH_1}")
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "^[0-9]+  " "" name "${entry}")
        list(APPEND kernel32 ${name})
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

foreach(name GlobalAlloc GlobalReAlloc GlobalSize GlobalLock GlobalUnlock GlobalFree Beep)
    if(NOT name IN_LIST kernel32)
        message(FATAL_ERROR "${dll_name} does not import ${name} from KERNEL32.dll "
                            "(imports from it: ${kernel32})")
    endif()
endforeach()
