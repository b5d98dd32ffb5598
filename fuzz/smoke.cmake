# A short, deterministic run of one fuzzer: its seed corpus, then 2000 more
# inputs from a fixed seed, new ones kept in a scratch folder that starts
# empty (the committed corpus is only read).
#   cmake -DFUZZER=... -DCORPUS=... -DWORK=... -DMAX_LEN=... -P smoke.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(
    COMMAND ${FUZZER} -seed=1 -runs=2000 -max_len=${MAX_LEN} -timeout=10
            -artifact_prefix=${WORK}/ ${WORK} ${CORPUS}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${status}); the input is in ${WORK}")
endif()
