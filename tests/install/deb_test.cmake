# cmake -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=... -DGENERATOR=...
#       [-DMAKE_PROGRAM=...] -DCC=... -DCXX=... -P deb_test.cmake
#
# The Debian packages as users get them. scripts/debian-packages.sh makes
# them from a build for /usr; between them they hold every file that build
# installs, and lintian finds no error or warning in them. dpkg installs
# them; hosts built against /usr alone run (examples/embed through the
# CMake package and through pkg-config, which names no -I or -L, and the C
# host of tests/interface from the installed headers), and so does the
# installed rodarove-host. `dpkg --purge` then removes every file they
# brought. Needs root and dpkg; without them the test says so and is
# skipped.
#
# Whatever fails, the machine is left as it was: the checks on the installed
# packages run in a child process (PART=installed) and the purge follows
# in every case, and a marker file says that this test installed them, so
# that a run killed before its purge is cleaned up by the next one. Runs on
# one machine (from several build folders) take turns.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

set(packages rodarove-host librodarove-dev librodarove1)
set(marker /var/tmp/rodarove-deb-test.installed)
execute_process(COMMAND dpkg-architecture -qDEB_HOST_MULTIARCH OUTPUT_VARIABLE multiarch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(libdir /usr/lib/${multiarch})

if(PART STREQUAL "installed")
  file(GLOB debs ${WORK_DIR}/debs/*.deb)
  rodarove_run(out COMMAND dpkg --install ${debs})
  rodarove_run(cache COMMAND ldconfig -p)
  # /lib is /usr/lib on a merged /usr, which ldconfig may list either way.
  if(NOT cache MATCHES "librodarove\\.so\\.1 [^\n]*=> (/usr)?/lib/${multiarch}/librodarove\\.so\\.1\n")
    message(FATAL_ERROR "the ldconfig trigger did not run: ldconfig -p lists\n${cache}")
  endif()

  # The examples through the CMake package found under /usr, without help.
  rodarove_build_examples(${WORK_DIR}/embed)
  file(STRINGS ${WORK_DIR}/embed/CMakeCache.txt found REGEX "^rodarove_DIR:")
  rodarove_expect_equal("package found" "rodarove_DIR:PATH=${libdir}/cmake/rodarove" "${found}")
  rodarove_run(out ERRORS err COMMAND ${WORK_DIR}/embed/load_module)  # librodarove.so.1
  rodarove_expect_equal("load_module" "${RODAROVE_LOAD_MODULE_OUTPUT}" "${out}")
  rodarove_run(out ERRORS err COMMAND ${WORK_DIR}/embed/link_module)
  rodarove_expect_equal("link_module (CMake package)" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")

  # pkg-config knows /usr's folders as the system's: the library alone.
  unset(ENV{PKG_CONFIG_PATH})
  rodarove_run(flags COMMAND pkg-config --cflags --libs rodarove)
  string(STRIP "${flags}" flags)
  rodarove_expect_equal("pkg-config --cflags --libs rodarove" "-lrodarove" "${flags}")
  rodarove_run(out COMMAND ${CXX} -Wall -Wextra -Werror ${SOURCE_DIR}/examples/embed/link_module.cc
               ${flags} -o ${WORK_DIR}/link_module_pc)
  rodarove_run(out ERRORS err COMMAND ${WORK_DIR}/link_module_pc)
  rodarove_expect_equal("link_module (pkg-config)" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")

  # A C host: every slot through the C view of the installed headers.
  rodarove_run(cflags COMMAND pkg-config --cflags rodarove)
  string(STRIP "${cflags}" cflags)
  rodarove_run(out COMMAND ${CC} -std=c11 -pedantic -Wall -Wextra -Werror ${cflags}
               ${SOURCE_DIR}/tests/interface/tree_container_c_test.c -ldl -o ${WORK_DIR}/c_host)
  rodarove_run(out COMMAND ${WORK_DIR}/c_host ${libdir}/librodarove.so.1)

  file(MAKE_DIRECTORY ${WORK_DIR}/host)
  rodarove_check_host(/usr/bin/rodarove-host SCRIPT_DIR ${WORK_DIR}/host)
  return()
endif()

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(DPKG dpkg)
find_program(LINTIAN lintian)
if(NOT uid STREQUAL "0" OR NOT DPKG)
  message("deb_test skipped: it installs packages with dpkg, which needs root")
  return()
endif()
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is missing (bash scripts/setup.sh installs it as part of 'test')")
endif()

file(LOCK /var/lock/rodarove-deb-test.lock GUARD PROCESS TIMEOUT 3600)

# packages_present(OUT_VAR): those of the packages dpkg knows in any state.
function(packages_present out_var)
  set(present)
  foreach(package ${packages})
    execute_process(COMMAND dpkg-query -W -f=\${db:Status-Abbrev} ${package}
                    OUTPUT_VARIABLE status ERROR_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0 AND NOT status MATCHES "^un")
      list(APPEND present ${package})
    endif()
  endforeach()
  set(${out_var} "${present}" PARENT_SCOPE)
endfunction()

packages_present(present)
list(JOIN present " " present)
list(JOIN packages " " all)
if(present AND EXISTS ${marker})
  message("purging ${present}, left installed by an earlier run of this test")
  rodarove_run(out COMMAND dpkg --purge ${packages})
elseif(present)
  message(FATAL_ERROR "${present} installed already, not by this test, which would purge them: "
                      "remove them first (dpkg --purge ${all})")
endif()
file(REMOVE ${marker})

# A build for /usr of its own; kept between runs, which rebuild only what
# changed.
file(REMOVE_RECURSE ${WORK_DIR}/debs ${WORK_DIR}/embed ${WORK_DIR}/host ${WORK_DIR}/all)
set(ENV{RODAROVE_GENERATOR} ${GENERATOR})
rodarove_run(out COMMAND bash ${SOURCE_DIR}/scripts/debian-packages.sh ${WORK_DIR}/build
                         ${WORK_DIR}/debs)
set(debs)
foreach(package ${packages})
  rodarove_single_file(deb_${package} ${WORK_DIR}/debs/${package}_${VERSION}_*.deb)
  list(APPEND debs ${deb_${package}})
endforeach()

execute_process(COMMAND ${LINTIAN} -I --pedantic --fail-on error,warning ${debs}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  message(FATAL_ERROR "lintian -I --pedantic (${rc}):\n${out}${err}")
endif()

# Every file of the build's `cmake --install` is in one package; besides,
# each package has its documentation (and lintian its overrides).
rodarove_run(out COMMAND ${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${WORK_DIR}/all/usr)
set(packed)
set(paths)
foreach(deb ${debs})
  execute_process(COMMAND dpkg-deb --fsys-tarfile ${deb} COMMAND tar -t OUTPUT_VARIABLE listing
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot list ${deb}")
  endif()
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE "\n" ";" listing "${listing}")
  foreach(entry ${listing})
    string(REGEX REPLACE "^\\./" "/" path "${entry}")
    string(REGEX REPLACE "/$" "" path "${path}")
    if(path STREQUAL "")
      continue()
    endif()
    list(APPEND paths ${path})
    if(NOT entry MATCHES "/$" AND NOT path MATCHES "^/usr/share/(doc|lintian)/")
      string(REGEX REPLACE "^/" "" path "${path}")
      list(APPEND packed ${path})
    endif()
  endforeach()
endforeach()
rodarove_list_tree(${WORK_DIR}/all installed)
string(REGEX REPLACE " -> [^;]*" "" installed "${installed}")
# The packages carry the license in their copyright files instead.
list(FILTER installed EXCLUDE REGEX "^usr/share/doc/")
list(SORT packed)
rodarove_expect_equal("files of the packages" "${installed}" "${packed}")

# Hosts built against this version ask for at least this version.
rodarove_run(shlibs COMMAND dpkg-deb --info ${deb_librodarove1} shlibs)
rodarove_expect_equal("shlibs" "librodarove 1 librodarove1 (>= ${VERSION})\n" "${shlibs}")

# What exists before the install stays; everything else the packages bring
# must be gone after the purge.
set(brought)
foreach(path ${paths})
  if(NOT EXISTS ${path} AND NOT IS_SYMLINK ${path})
    list(APPEND brought ${path})
  endif()
endforeach()

file(TOUCH ${marker})
execute_process(COMMAND ${CMAKE_COMMAND} -DPART=installed -DSOURCE_DIR=${SOURCE_DIR}
                        -DWORK_DIR=${WORK_DIR} -DVERSION=${VERSION} -DGENERATOR=${GENERATOR}
                        -DMAKE_PROGRAM=${MAKE_PROGRAM} -DCC=${CC} -DCXX=${CXX}
                        -P ${CMAKE_CURRENT_LIST_FILE}
                OUTPUT_VARIABLE checks ERROR_VARIABLE checks RESULT_VARIABLE checks_rc)

execute_process(COMMAND dpkg --purge ${packages} OUTPUT_VARIABLE purge ERROR_VARIABLE purge
                RESULT_VARIABLE purge_rc)
packages_present(left)
set(remains)
foreach(path ${brought})
  if(EXISTS ${path} OR IS_SYMLINK ${path})
    list(APPEND remains ${path})
  endif()
endforeach()
execute_process(COMMAND ldconfig -p OUTPUT_VARIABLE cache)
if(cache MATCHES "librodarove")
  list(APPEND remains "librodarove in the ldconfig cache")
endif()
if(purge_rc EQUAL 0 AND NOT left)
  file(REMOVE ${marker})
endif()

if(NOT checks_rc EQUAL 0)
  message(FATAL_ERROR "with the packages installed:\n${checks}")
endif()
if(NOT purge_rc EQUAL 0 OR left OR remains)
  message(FATAL_ERROR "dpkg --purge (${purge_rc}) left ${left} ${remains}:\n${purge}")
endif()
