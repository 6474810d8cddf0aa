# Runs after each build of the program and at install time: makes an empty address book beside
# the program unless one is there.
if(NOT EXISTS "${BOOK}")
    execute_process(COMMAND "${TOOL}" create "${BOOK}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not make ${BOOK}")
    endif()
endif()
