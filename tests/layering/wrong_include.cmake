# Proves the layering check fails on a wrong-way include: a copy of src/ in
# which the token store includes the host must be refused, naming the file.
#   cmake -DSRC=src -DWORK=dir -DCHECK=scripts/check-layering.cmake -P wrong_include.cmake
file(REMOVE_RECURSE ${WORK})
file(COPY ${SRC}/ DESTINATION ${WORK})
file(APPEND ${WORK}/lexer/token_store.h "\n#include \"host/interpreter.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -P ${CHECK}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE ${WORK})
if(result EQUAL 0)
  message(FATAL_ERROR "the layering check accepted lexer/token_store.h including host/")
endif()
if(NOT err MATCHES "lexer/token_store.h includes host/")
  message(FATAL_ERROR "the layering check failed without naming the file:\n${err}")
endif()
message(STATUS "refused as it should be: ${err}")
