# cmake -DSOURCE_DIR=... -P readme_code_test.cmake
#
# The README shows whole files of the project where a line
#   <!-- file: PATH -->
# precedes a fenced code block; each such block must equal the file at PATH,
# so that what the README shows is what the tests compile and run.
cmake_minimum_required(VERSION 3.16)

file(READ ${SOURCE_DIR}/README.md rest)
set(marker "<!-- file: ")
set(checked 0)
string(FIND "${rest}" "${marker}" at)
while(NOT at EQUAL -1)
  string(SUBSTRING "${rest}" ${at} -1 rest)
  if(NOT rest MATCHES "^<!-- file: ([^ ]+) -->\n```[a-z+]*\n")
    message(FATAL_ERROR "README: a file marker without a code block after it")
  endif()
  set(path ${CMAKE_MATCH_1})
  string(LENGTH "${CMAKE_MATCH_0}" head)
  string(SUBSTRING "${rest}" ${head} -1 rest)
  string(FIND "${rest}" "\n```\n" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "README: the code block of ${path} does not end")
  endif()
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${rest}" 0 ${end} shown)
  file(READ ${SOURCE_DIR}/${path} actual)
  if(NOT shown STREQUAL actual)
    message(FATAL_ERROR "README shows ${path} otherwise than it is; copy the file into the README")
  endif()
  math(EXPR checked "${checked} + 1")
  string(SUBSTRING "${rest}" ${end} -1 rest)
  string(FIND "${rest}" "${marker}" at)
endwhile()
if(checked EQUAL 0)
  message(FATAL_ERROR "README shows no file of the project")
endif()
message(STATUS "README shows ${checked} files as they are")
