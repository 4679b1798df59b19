# The include check, run on a small tree with one crossing of every kind (and lines that are
# allowed beside them), must fail and report exactly the crossings of expected.txt, in order.
#   cmake -DCHECK=<CheckIncludes.cmake> -DFIXTURE=<tree> -P CheckFindsCrossings.cmake
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${FIXTURE} -P "${CHECK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE report)
if(result EQUAL 0)
    message(FATAL_ERROR "The check passed a tree with forbidden includes:\n${output}${report}")
endif()
string(REGEX MATCHALL "[^\n]+: (includes|No )[^\n]*" found "${report}")
file(STRINGS "${FIXTURE}/expected.txt" expected)
if(NOT found STREQUAL expected)
    string(REPLACE ";" "\n" found_text "${found}")
    string(REPLACE ";" "\n" expected_text "${expected}")
    message(FATAL_ERROR "Reported:\n${found_text}\n\nExpected:\n${expected_text}\n\nWhole output:\n${report}")
endif()
list(LENGTH found count)
message(STATUS "The check found the ${count} crossings it should")
