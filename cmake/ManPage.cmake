# cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=<program> -DSUMMARY=<NAME line> [-DINCLUDE=<h2m>]
#       -DOUTPUT=<page>.1.gz -P ManPage.cmake
# Writes the man page of a program from its --help and --version with help2man, then gzips it.
# The program runs without a display (Qt's offscreen platform) and without the leak checker of
# a sanitizer build; one that does not answer within a minute fails the build instead of
# hanging it.
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
get_filename_component(dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{ASAN_OPTIONS} detect_leaks=0)
set(ENV{LC_ALL} C.UTF-8)
set(args --no-info --section=1 "--name=${SUMMARY}" "--output=${page}")
if(INCLUDE)
  list(APPEND args "--include=${INCLUDE}")
endif()
execute_process(COMMAND timeout --kill-after=5 60 "${HELP2MAN}" ${args} "${PROGRAM}"
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  file(REMOVE "${page}")
  message(FATAL_ERROR "help2man could not write the man page of ${PROGRAM} (status ${status}): "
                      "the program must answer --help and --version on standard output with "
                      "exit status 0.\n${errors}")
endif()
execute_process(COMMAND "${GZIP}" -9nf "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
