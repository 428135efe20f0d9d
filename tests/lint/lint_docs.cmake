# Lints every ```tessel block of the Markdown files under DOCS and fails when
# one gets a warning (samples are meant to do what they say). The golden
# runner, which reads the fences for the golden cases too, writes them out.
#   cmake -DTESSEL=<binary> -DGOLDEN=<tessel_golden> -DDOCS=<dir> -DWORK=<scratch dir> -P lint_docs.cmake
file(GLOB pages ${DOCS}/*.md)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${GOLDEN} --blocks=${WORK} ${pages} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the docs samples could not be written out")
endif()
file(GLOB samples ${WORK}/*.tsl)
list(LENGTH samples blocks)
if(blocks GREATER 0)
  execute_process(COMMAND ${CMAKE_COMMAND} -DTESSEL=${TESSEL} -DDIRS=${WORK} -DRUN_IN=${DOCS}
    -P ${CMAKE_CURRENT_LIST_DIR}/lint_clean.cmake RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "a docs sample got warnings")
  endif()
endif()
message(STATUS "${blocks} docs samples linted")
