# Runs a command that must refuse its input: it has to end with an ordinary non-zero exit code
# (a crash is not a refusal) and say why, in words matching EXPECT.
#
#   cmake -DEXPECT=REGEX [-DEMULATOR=PROGRAM] -P expect_refusal.cmake -- COMMAND [ARGS...]
set(command "")
set(collecting FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collecting)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(collecting TRUE)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "expect_refusal.cmake: no command after --")
endif()
if(EMULATOR)
  list(PREPEND command ${EMULATOR})
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(JOIN " " shown ${command})
if(NOT code MATCHES "^[0-9]+$" OR code EQUAL 0 OR code GREATER 125)
  message(FATAL_ERROR "${shown}\nexpected a refusal (exit 1 to 125), got: ${code}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT}")
  message(FATAL_ERROR "${shown}\nexit ${code}, but the message does not match '${EXPECT}':\n"
                      "${out}${err}")
endif()
message(STATUS "refused with exit ${code}: ${out}${err}")
