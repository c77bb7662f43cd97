# The Debian package: the programs under bin/ with a man page each, the shipped database template,
# the documents under share/doc/vazadod/, and the CPack settings for "cpack -G DEB". The program's
# own resources (help, desktop entry, icons, MIME type) are installed by app/CMakeLists.txt.
# Included from the top CMakeLists.txt after every program's folder, before the tests (which
# check the package).

find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(NOT HELP2MAN)
  message(WARNING "help2man (Debian package help2man) is missing: the programs get no man pages, "
                  "and the package would lack them")
endif()

# vz_package_program(<target> <summary> [WITHOUT_COMMAND_LINE]): installs the program under bin/
# and, as man1/<program>.1.gz, the man page that help2man makes at build time from the program's
# --help and --version, with the NAME line <summary> and the sections of
# packaging/<program>.h2m when that file exists. A program that is not built here is skipped.
# WITHOUT_COMMAND_LINE marks a program that does not answer --help and --version yet: it is
# installed without a man page, and the package check fails once it answers them (the mark is
# then to be dropped).
function(vz_package_program target summary)
  cmake_parse_arguments(P "WITHOUT_COMMAND_LINE" "" "" ${ARGN})
  if(NOT TARGET ${target})
    return()
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  get_target_property(program ${target} OUTPUT_NAME)
  if(NOT program)
    set(program ${target})
  endif()
  set_property(GLOBAL APPEND PROPERTY VAZADOD_PACKAGED_PROGRAMS ${program})
  if(P_WITHOUT_COMMAND_LINE)
    set_property(GLOBAL APPEND PROPERTY VAZADOD_PROGRAMS_WITHOUT_COMMAND_LINE ${program})
    return()
  endif()
  if(NOT HELP2MAN)
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  set(include ${CMAKE_SOURCE_DIR}/packaging/${program}.h2m)
  if(NOT EXISTS ${include})
    set(include "")
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DGZIP=${GZIP}
            -DPROGRAM=$<TARGET_FILE:${target}> -DSUMMARY=${summary} -DINCLUDE=${include}
            -DOUTPUT=${page} -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${target} ${include} ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the man page of ${program}"
    VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The programs, one line each.
vz_package_program(Vazadod "plan projects, tasks, resources and holidays on a calendar grid")
vz_package_program(vazadod-cli "run the planner's workflows from the command line")
vz_package_program(zuzsql "run SQL statements on a Vazadod database")
vz_package_program(zuzdump "print and check what a Vazadod database file holds")
vz_package_program(planner-roundtrip "read a planner XML file and write it back")

# The database template the program copies for a new user; the target vazadod_template builds it
# beside the program.
if(TARGET vazadod_template)
  install(FILES $<TARGET_FILE_DIR:Vazadod>/db/Vazadod.zuz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/vazadod/db)
endif()

# What the package must hold, as arguments of scripts/check-package.py (one a line, given to it as
# @packaging/check-args).
get_property(programs GLOBAL PROPERTY VAZADOD_PACKAGED_PROGRAMS)
get_property(without GLOBAL PROPERTY VAZADOD_PROGRAMS_WITHOUT_COMMAND_LINE)
string(REPLACE ";" "\n" check_args "--version;${PROJECT_VERSION};--programs;${programs}")
if(without)
  string(REPLACE ";" "\n" without "--without-command-line;${without}")
  string(APPEND check_args "\n${without}")
endif()
if(TARGET vazadod_template)
  string(APPEND check_args "\n--template")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/packaging/check-args "${check_args}\n")

# Package metadata.
set(VAZADOD_MAINTAINER "Vazadod developers <developers@vazadod.example>"
    CACHE STRING "The package's maintainer, as \"Name <address>\"")
set(doc ${CMAKE_INSTALL_DATADIR}/doc/vazadod)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${doc})

# The changelog Debian asks of a native package, dated with the last commit (the configure time
# outside a git checkout), gzipped without a time stamp.
execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                OUTPUT_VARIABLE changelog_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET RESULT_VARIABLE git_status)
if(NOT git_status EQUAL 0 OR changelog_epoch STREQUAL "")
  string(TIMESTAMP changelog_epoch "%s" UTC)
endif()
set(ENV{SOURCE_DATE_EPOCH} ${changelog_epoch})
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
unset(ENV{SOURCE_DATE_EPOCH})
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog
               @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(vazadod_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vazadod)
set(CPACK_PACKAGE_VENDOR "Vazadod developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VAZADOD_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop project planner with its own database engine")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vazadod plans projects, their tasks, the resources (people) who work on them,\n"
    "their holidays and their assignments to tasks on one calendar grid of 90 day\n"
    "columns. Tasks are moved with Shift and Ctrl clicks, dialogs edit everything,\n"
    "three reports come out as PDF or RTF files in every script, and plans go out\n"
    "as XML, MS Project XML, TaskJuggler, CSV and iCalendar and come in from MS\n"
    "Project XML.\n"
    "\n"
    "All data lives in one file kept by the program's own embedded SQL database\n"
    "engine. The package also holds the command-line tools for that file.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VAZADOD_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the PDF reports embed for text the standard fonts cannot show.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-noto-core, fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Files are owned by root and folders get the usual modes whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
