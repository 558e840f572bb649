# Runs GENERATOR into FRESH and fails unless FRESH equals COMMITTED.
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${FRESH} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FRESH} ${COMMITTED}
                RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${COMMITTED} is not what ${GENERATOR} writes; run it and commit")
endif()
