# Runs `tessel --lint` on one script and compares its report and exit status:
#   cmake -DTESSEL=<binary> -DSCRIPT=<file.tsl> -DSTATUS=<n> [-DEXPECTED=<file>] -P run_lint.cmake
# The script is named by its file name alone, so the report does not depend
# on where the tree lives.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME)
execute_process(COMMAND ${TESSEL} --lint ${name} WORKING_DIRECTORY ${dir}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL STATUS)
  message(FATAL_ERROR "${name}: exit status ${status}, expected ${STATUS}\n${out}${err}")
endif()
if(EXPECTED)
  file(READ ${EXPECTED} want)
  if(NOT out STREQUAL want)
    message(FATAL_ERROR "${name}: the report differs.\n--- got\n${out}--- expected\n${want}")
  endif()
endif()
