# Runs bison on the Java grammar and fails unless its conflict report is
# exactly the grammar's: EXPECT_SR shift/reduce and EXPECT_RR reduce/reduce
# conflicts, and EXPECT_USELESS rules useless because of conflicts.
execute_process(
  COMMAND ${BISON} -Wall -Wno-counterexamples -o ${OUTPUT} --defines=${HEADER} ${INPUT}
  RESULT_VARIABLE status
  ERROR_VARIABLE report)
set(problems "")
if(NOT status EQUAL 0)
  string(APPEND problems "bison failed (${status}). ")
endif()
string(REGEX MATCH "([0-9]+) shift/reduce conflict" sr "${report}")
set(sr_count "${CMAKE_MATCH_1}")
string(REGEX MATCH "([0-9]+) reduce/reduce conflict" rr "${report}")
set(rr_count "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "rule useless in parser due to conflicts" useless "${report}")
list(LENGTH useless useless_count)
if(NOT "${sr_count}" STREQUAL "${EXPECT_SR}")
  string(APPEND problems "${sr_count} shift/reduce conflicts, expected ${EXPECT_SR}. ")
endif()
if(NOT "${rr_count}" STREQUAL "${EXPECT_RR}")
  string(APPEND problems "${rr_count} reduce/reduce conflicts, expected ${EXPECT_RR}. ")
endif()
if(NOT useless_count EQUAL EXPECT_USELESS)
  string(APPEND problems "${useless_count} rules useless due to conflicts, expected ${EXPECT_USELESS}. ")
endif()
if(problems)
  file(REMOVE ${OUTPUT} ${HEADER})
  message(FATAL_ERROR "${INPUT}: ${problems}\n${report}")
endif()
