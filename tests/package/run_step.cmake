# run(COMMAND...): runs one step of a package test script and stops the script with the step's
# output when it fails; the step's standard output is left in `last_output`.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGV}\n${out}${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()
