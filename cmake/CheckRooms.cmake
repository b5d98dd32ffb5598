# Checks that no include runs up from a lower room to a higher one
# (ARCHITECTURE.md): each room of library code may include only the rooms
# listed for it here.  The emulator, tests, benchmarks, fuzzers and tools
# stand beside the rooms and are not checked.
#
#   cmake -DGH_SOURCE_DIR=<repo> -P cmake/CheckRooms.cmake
cmake_minimum_required(VERSION 3.20)

set(algorithms text encoding digest auth cipher)
set(allowed_library   library resources functions ${algorithms} host platform)
set(allowed_resources resources platform)
set(allowed_functions functions ${algorithms} host platform)
set(allowed_text      text platform)
set(allowed_encoding  encoding platform)
set(allowed_digest    digest platform)
set(allowed_auth      auth digest encoding platform)
set(allowed_cipher    cipher platform)
set(allowed_host      host platform)
set(allowed_platform  platform)

set(failures "")
foreach(room library resources functions ${algorithms} host platform)
    file(GLOB sources ${GH_SOURCE_DIR}/${room}/*.cpp ${GH_SOURCE_DIR}/${room}/*.h
                      ${GH_SOURCE_DIR}/${room}/*.inc ${GH_SOURCE_DIR}/${room}/*.def)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"/]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"/]+)/.*$" "\\1" target "${line}")
            if(NOT target IN_LIST allowed_${room})
                file(RELATIVE_PATH name ${GH_SOURCE_DIR} ${source})
                string(APPEND failures "  ${name}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "includes that leave their room's allowed rooms:\n${failures}")
endif()
message(STATUS "every room includes only the rooms below it")
