# Builds the libraries and gh_ntlm_threads with ThreadSanitizer in a build
# tree of their own, and runs it:
#   cmake -DSOURCE=<repository> -DBINARY=<build tree> -P run_tsan.cmake
# The tree is kept, so later runs build only what changed.
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G Ninja
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGH_SANITIZE_THREAD=ON -DGH_WERROR=ON
    OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the ThreadSanitizer build in ${BINARY} failed")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} --build ${BINARY} -j 2 --target gh_ntlm_threads
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "building gh_ntlm_threads with ThreadSanitizer failed")
endif()
execute_process(COMMAND ${BINARY}/bin/gh_ntlm_threads RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gh_ntlm_threads failed under ThreadSanitizer (${status})")
endif()
