# Runs one command of the command line and checks what it did.
#   PROGRAM, ARGS        the program and its arguments, joined by "|"
#   EMULATOR             what runs a cross-built PROGRAM (Wine); empty natively
#   EXPECT_STATUS        exit status
#   EXPECT_STDOUT_FILE   standard output must equal this file byte for byte
#   EXPECT_STDERR        standard error must contain this text
#   OUTPUT_FILE/EXPECT_OUTPUT_FILE  a file the command writes, compared likewise
#   WORK_DIR             where temporary files go
# Fails unless file `actual` holds the same bytes as file `expected`.
function(expect_same_file actual expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${expected}" RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "${actual} differs from ${expected}")
  endif()
endfunction()

set(out "${WORK_DIR}/stdout")
set(err "${WORK_DIR}/stderr")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(DEFINED OUTPUT_FILE)
  file(REMOVE "${OUTPUT_FILE}")
endif()
string(REPLACE "|" ";" argList "${ARGS}")
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" ${argList} RESULT_VARIABLE status OUTPUT_FILE "${out}" ERROR_FILE "${err}")
file(READ "${err}" errText)
if(NOT status EQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}\nstderr: ${errText}")
endif()
if(DEFINED EXPECT_STDOUT_FILE)
  expect_same_file("${out}" "${EXPECT_STDOUT_FILE}")
else()
  file(SIZE "${out}" outSize)
  if(NOT outSize EQUAL 0)
    message(FATAL_ERROR "expected nothing on standard output, got ${outSize} bytes")
  endif()
endif()
if(DEFINED EXPECT_STDERR)
  string(FIND "${errText}" "${EXPECT_STDERR}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "standard error lacks '${EXPECT_STDERR}':\n${errText}")
  endif()
endif()
if(DEFINED EXPECT_OUTPUT_FILE)
  expect_same_file("${OUTPUT_FILE}" "${EXPECT_OUTPUT_FILE}")
endif()
