# cmake -DHOST=... -DOUT=... -P man_page.cmake
#
# The manual page rodarove-host(1), which the host writes from its command
# table: OUT, and OUT.gz compressed as Debian installs manual pages (best
# compression, no name or time stamp, so that every build makes the same
# bytes).
execute_process(COMMAND ${HOST} --man-page OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${HOST} --man-page failed (${rc})")
endif()
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND ${GZIP} -9 -n -c ${OUT} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip of ${OUT} failed (${rc})")
endif()
