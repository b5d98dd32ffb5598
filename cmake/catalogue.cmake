# Reads the catalogue table (resources/catalogue.def) and writes what is made
# from it outside the C++ code:
#
#   cmake -DGH_MODE=rc -DGH_BUILD=wide|byte -DGH_TARGET=<dll name>
#         -DGH_VERSION=<x.y.z> -DGH_DESCRIPTION=<text> -DGH_SOURCE_DIR=<repo>
#         -DGH_OUT=<file.rc> -P cmake/catalogue.cmake
#       the Windows resource script of one DLL: the catalogue strings, the
#       "Q7INF" descriptor and the version resource (resources/catalogue.rc.in)
#
#   cmake -DGH_MODE=readme [-DGH_PLATFORM=windows|linux -DGH_ARCH=<cpu>]
#         -DGH_VERSION=<x.y.z> -DGH_SOURCE_DIR=<repo> -DGH_OUT=<file>
#         -P cmake/catalogue.cmake
#       the text for the users that a release package carries
#       (resources/release-readme.txt.in for Windows, the default;
#       resources/release-readme-linux.txt.in), with the catalogue: each
#       function with its parameters and its summary from docs/functions.json
#
# Each row of catalogue.def is one line of the form
#   GH_FUNCTION(number, name, "parameter text", reference, built)
# A line that starts like a row but does not have this form stops the build,
# so the resources never silently miss a function.
cmake_minimum_required(VERSION 3.20)

# Reads the table into GH_CAT_* variables of the caller's scope.
function(gh_read_catalogue source_dir)
    file(STRINGS ${source_dir}/resources/catalogue.h header_lines REGEX "^#define GH_")
    foreach(line IN LISTS header_lines)
        if(line MATCHES "^#define GH_GROUP_NAME \"([^\"\\\\]+)\"$")
            set(group ${CMAKE_MATCH_1})
        elseif(line MATCHES "^#define GH_LIBRARY_NAME \"([^\"\\\\]+)\"$")
            set(library ${CMAKE_MATCH_1})
        endif()
    endforeach()
    file(STRINGS ${source_dir}/resources/catalogue.h enum_lines REGEX "GH_CATALOGUE_FIRST_ID = ")
    if(enum_lines MATCHES "GH_CATALOGUE_FIRST_ID = ([0-9]+)")
        set(first_id ${CMAKE_MATCH_1})
    endif()
    if(NOT group OR NOT library OR NOT first_id)
        message(FATAL_ERROR "catalogue.h: GH_GROUP_NAME, GH_LIBRARY_NAME or "
                            "GH_CATALOGUE_FIRST_ID not found")
    endif()

    # The file is walked line by line with string(FIND), never as a CMake
    # list: a semicolon or an unbalanced bracket in a parameter text would
    # change how a list splits.
    file(READ ${source_dir}/resources/catalogue.def text)
    string(REPLACE "\r" "" text "${text}")

    set(count 0)
    set(names "")
    set(references "")
    while(NOT text STREQUAL "")
        string(FIND "${text}" "\n" newline)
        if(newline EQUAL -1)
            set(line "${text}")
            set(text "")
        else()
            string(SUBSTRING "${text}" 0 ${newline} line)
            math(EXPR next "${newline} + 1")
            string(SUBSTRING "${text}" ${next} -1 text)
        endif()
        if(NOT line MATCHES "^[ \t]*GH_FUNCTION")
            continue()
        endif()
        # The parameter text is a C string literal: any character but a quote
        # or a backslash, or a backslash escape.
        if(NOT line MATCHES
           "^GH_FUNCTION\\( *([0-9]+), ([A-Za-z_][A-Za-z0-9_]*), \"(([^\"\\\\]|\\\\.)*)\", ([0-9]+), ([01])\\)$")
            message(FATAL_ERROR "catalogue.def: not a row of the expected form:\n  ${line}")
        endif()
        set(number ${CMAKE_MATCH_1})
        set(name ${CMAKE_MATCH_2})
        set(params "${CMAKE_MATCH_3}")
        set(reference ${CMAKE_MATCH_5})
        set(built ${CMAKE_MATCH_6})
        math(EXPR count "${count} + 1")
        if(NOT number EQUAL count)
            message(FATAL_ERROR "catalogue.def: row ${name} is numbered ${number}, expected ${count}")
        endif()
        # Undo the C escapes; only \" and \\ can stand in a parameter text.
        string(REPLACE "\\\\" "\\" unescaped "${params}")
        string(REPLACE "\\\"" "\"" unescaped "${unescaped}")
        string(REGEX REPLACE "\\\\[\\\\\"]" "" probe "${params}")
        if(probe MATCHES "\\\\")
            message(FATAL_ERROR "catalogue.def: ${name}: only \\\" and \\\\ escapes are supported")
        endif()
        set(GH_CAT_PARAMS_${count} "${unescaped}" PARENT_SCOPE)
        set(GH_CAT_BUILT_${count} ${built} PARENT_SCOPE)
        list(APPEND names ${name})
        list(APPEND references ${reference})
    endwhile()
    if(count EQUAL 0)
        message(FATAL_ERROR "catalogue.def: no rows found")
    endif()

    set(GH_CAT_GROUP ${group} PARENT_SCOPE)
    set(GH_CAT_LIBRARY ${library} PARENT_SCOPE)
    set(GH_CAT_FIRST_ID ${first_id} PARENT_SCOPE)
    set(GH_CAT_COUNT ${count} PARENT_SCOPE)
    set(GH_CAT_NAMES ${names} PARENT_SCOPE)
    set(GH_CAT_REFERENCES ${references} PARENT_SCOPE)
endfunction()

# A string literal for a resource script: a quote is doubled, a backslash
# escaped (windres reads C escapes in strings).
function(gh_rc_quote out text)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\"\"" text "${text}")
    set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(gh_write_rc)
    foreach(var GH_BUILD GH_TARGET GH_VERSION GH_OUT)
        if(NOT ${var})
            message(FATAL_ERROR "catalogue.cmake: ${var} not set")
        endif()
    endforeach()
    if(GH_BUILD STREQUAL "wide")
        set(GH_RC_MARKER UFNC)
        set(GH_RC_DESCRIPTION "${GH_DESCRIPTION} (wide-character build, for Omnis Studio)")
    elseif(GH_BUILD STREQUAL "byte")
        set(GH_RC_MARKER 7FNC)
        set(GH_RC_DESCRIPTION "${GH_DESCRIPTION} (byte-character build, for Omnis 7)")
    else()
        message(FATAL_ERROR "catalogue.cmake: GH_BUILD must be wide or byte")
    endif()

    set(GH_RC_STRINGS "")
    set(id ${GH_CAT_FIRST_ID})
    foreach(i RANGE 1 ${GH_CAT_COUNT})
        math(EXPR index "${i} - 1")
        list(GET GH_CAT_NAMES ${index} name)
        list(GET GH_CAT_REFERENCES ${index} reference)
        set(entry "${name}(${GH_CAT_PARAMS_${i}}):${reference}")
        if(i EQUAL 1)
            set(entry "${GH_CAT_GROUP}~${entry}")
        endif()
        gh_rc_quote(quoted "${entry}")
        string(APPEND GH_RC_STRINGS "    ${id}, ${quoted}\n")
        math(EXPR id "${id} + 1")
    endforeach()
    gh_rc_quote(quoted "*${GH_CAT_LIBRARY}")
    string(APPEND GH_RC_STRINGS "    ${id}, ${quoted}")

    set(GH_RC_FIRST_ID ${GH_CAT_FIRST_ID})
    string(REPLACE "." "," GH_RC_VERSION_COMMAS "${GH_VERSION}.0")
    gh_rc_quote(GH_RC_DESCRIPTION "${GH_RC_DESCRIPTION}")
    configure_file(${GH_SOURCE_DIR}/resources/catalogue.rc.in ${GH_OUT} @ONLY)
endfunction()

# The one-line summary of each function from the function reference's data
# (docs/functions.json), into GH_SUMMARY_<name> of the caller's scope.
function(gh_read_summaries source_dir)
    file(READ ${source_dir}/docs/functions.json json)
    string(JSON count LENGTH "${json}" functions)
    math(EXPR last "${count} - 1")
    foreach(i RANGE 0 ${last})
        string(JSON name GET "${json}" functions ${i} name)
        string(JSON summary GET "${json}" functions ${i} summary)
        set(GH_SUMMARY_${name} "${summary}" PARENT_SCOPE)
    endforeach()
endfunction()

function(gh_write_readme)
    if(NOT GH_PLATFORM)
        set(GH_PLATFORM windows)
    endif()
    if(GH_PLATFORM STREQUAL "windows")
        set(template release-readme.txt.in)
        set(GH_README_TITLE "glyphHerder ${GH_VERSION} for Windows")
    elseif(GH_PLATFORM STREQUAL "linux")
        set(template release-readme-linux.txt.in)
        set(GH_README_TITLE "glyphHerder ${GH_VERSION} for Linux (${GH_ARCH})")
    else()
        message(FATAL_ERROR "catalogue.cmake: GH_PLATFORM must be windows or linux")
    endif()
    gh_read_summaries(${GH_SOURCE_DIR})
    set(GH_CATALOGUE_TEXT "")
    foreach(i RANGE 1 ${GH_CAT_COUNT})
        math(EXPR index "${i} - 1")
        list(GET GH_CAT_NAMES ${index} name)
        if(i LESS 10)
            set(pad " ")
        else()
            set(pad "")
        endif()
        if(GH_CAT_BUILT_${i})
            set(note "")
        else()
            set(note "   (not available yet: sets no result)")
        endif()
        string(APPEND GH_CATALOGUE_TEXT "  ${pad}${i}  ${name}(${GH_CAT_PARAMS_${i}})${note}\n"
                                        "      ${GH_SUMMARY_${name}}\n")
    endforeach()
    string(REGEX REPLACE "\n$" "" GH_CATALOGUE_TEXT "${GH_CATALOGUE_TEXT}")
    # The table of what the Linux files need, as the processor's table
    # (resources/linux-needs.txt, or linux-needs-<cpu>.txt where the files
    # differ) holds it (without its comment lines), indented.
    set(GH_LINUX_NEEDS "")
    set(needs ${GH_SOURCE_DIR}/resources/linux-needs-${GH_ARCH}.txt)
    if(NOT GH_ARCH OR NOT EXISTS ${needs})
        set(needs ${GH_SOURCE_DIR}/resources/linux-needs.txt)
    endif()
    if(EXISTS ${needs})
        file(STRINGS ${needs} rows REGEX "^[^#]")
        foreach(row ${rows})
            string(APPEND GH_LINUX_NEEDS "  ${row}\n")
        endforeach()
        string(REGEX REPLACE "\n$" "" GH_LINUX_NEEDS "${GH_LINUX_NEEDS}")
    endif()
    string(LENGTH "${GH_README_TITLE}" length)
    string(REPEAT "=" ${length} GH_UNDERLINE)
    file(READ ${GH_SOURCE_DIR}/resources/${template} text)
    string(CONFIGURE "${text}" text @ONLY)
    string(REPLACE "\r\n" "\n" text "${text}")
    if(GH_PLATFORM STREQUAL "windows")
        # Windows line ends, for Notepad and its likes.
        string(REPLACE "\n" "\r\n" text "${text}")
    endif()
    file(WRITE ${GH_OUT} "${text}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND GH_MODE)
    if(NOT GH_SOURCE_DIR OR NOT GH_OUT)
        message(FATAL_ERROR "catalogue.cmake: GH_SOURCE_DIR and GH_OUT must be set")
    endif()
    gh_read_catalogue(${GH_SOURCE_DIR})
    if(GH_MODE STREQUAL "rc")
        gh_write_rc()
    elseif(GH_MODE STREQUAL "readme")
        gh_write_readme()
    else()
        message(FATAL_ERROR "catalogue.cmake: unknown GH_MODE ${GH_MODE}")
    endif()
endif()
