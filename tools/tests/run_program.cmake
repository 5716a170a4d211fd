# Runs PROGRAM (through EMULATOR when cross-built) with the arguments ARGS
# (separated by "|") and checks its exit status (EXIT) and that its output
# holds MATCH.
string(REPLACE "|" ";" _args "${ARGS}")
set(_command ${PROGRAM} ${_args})
if(EMULATOR)
  set(_command ${EMULATOR} ${_command})
endif()
execute_process(COMMAND ${_command} RESULT_VARIABLE _status OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT "${_status}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${_status}, expected ${EXIT}\nstdout:\n${_out}\nstderr:\n${_err}")
endif()
# Windows programs end their lines with CR LF.
string(REPLACE "\r" "" _output "${_out}${_err}")
string(FIND "${_output}" "${MATCH}" _at)
if(_at EQUAL -1)
  message(FATAL_ERROR "output lacks \"${MATCH}\"\nstdout:\n${_out}\nstderr:\n${_err}")
endif()
message(STATUS "exit ${_status}; output holds \"${MATCH}\"")
