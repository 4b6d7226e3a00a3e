# Runs a program under Valgrind's memcheck and fails on any memory error or leak, except the
# one block the camera module keeps by design: the motion-sample table of the last frame, which
# stays allocated until the next frame (or for good, once the module is unloaded).
#
#   cmake -DVALGRIND=... -DLOG=... -DCOMMAND="prog;arg;..." [-DREPORT=file] -P valgrind_memcheck.cmake
#
# Every loss record Valgrind prints (definitely or possibly lost, or still reachable) must have
# been allocated by buildSampleTable; every other record, and any error, fails the test. Once the
# host has unloaded the module the table is no longer reachable and counts as definitely lost;
# Valgrind keeps the unloaded module's symbols (--keep-debuginfo) so the record still names it.
foreach(_required VALGRIND LOG COMMAND)
  if(NOT DEFINED ${_required})
    message(FATAL_ERROR "valgrind_memcheck.cmake: ${_required} is not set")
  endif()
endforeach()

execute_process(
  COMMAND ${VALGRIND} --tool=memcheck --error-exitcode=99 --leak-check=full
    --show-leak-kinds=all --errors-for-leak-kinds=none --num-callers=30
    --keep-debuginfo=yes --log-file=${LOG}
    ${COMMAND}
  RESULT_VARIABLE _result)
file(READ ${LOG} _log)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "memcheck run failed (exit ${_result}):\n${_log}")
endif()
if(NOT _log MATCHES "ERROR SUMMARY: 0 errors")
  message(FATAL_ERROR "memcheck found errors:\n${_log}")
endif()

# Split the log into loss records: each starts with "N bytes in M blocks are ..." and runs to
# the next empty line.
string(REGEX REPLACE "==[0-9]+== ?" "" _log "${_log}")
string(REPLACE "\n\n" "\n;\n" _chunks "${_log}")
set(_kept_blocks 0)
foreach(_chunk IN LISTS _chunks)
  if(_chunk MATCHES "([0-9,]+) bytes in ([0-9,]+) blocks are ([a-z ]+) in loss record")
    set(_kind "${CMAKE_MATCH_3}")
    if(NOT _chunk MATCHES "buildSampleTable")
      message(FATAL_ERROR "memory ${_kind} that is not the sample table:\n${_chunk}\n\n${_log}")
    endif()
    math(EXPR _kept_blocks "${_kept_blocks} + 1")
  endif()
endforeach()
# The program's own verdict, where it writes one: the validate command's "PASS"/"FAIL" lines.
if(DEFINED REPORT)
  file(READ ${REPORT} _report)
  if(NOT _report MATCHES "END OF GROUP" OR _report MATCHES "(^|\n)FAIL ")
    message(FATAL_ERROR "checks failed under memcheck:\n${_report}")
  endif()
endif()
message(STATUS "memcheck: no errors; ${_kept_blocks} loss record(s), all the sample table")
