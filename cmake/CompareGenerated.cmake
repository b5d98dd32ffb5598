# cmake -DPYTHON=... -DSCRIPT=gen.py -DEXPECTED=file -P CompareGenerated.cmake
# Fails when the script's output differs from the committed file.
execute_process(COMMAND ${PYTHON} ${SCRIPT} OUTPUT_VARIABLE generated RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${SCRIPT} failed: ${status}")
endif()
file(READ ${EXPECTED} committed)
if(NOT generated STREQUAL committed)
    message(FATAL_ERROR "${EXPECTED} differs from the output of ${SCRIPT}; regenerate it")
endif()
