# Helpers of the install and package tests (cmake -P scripts).

set(RODAROVE_INSTALL_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR})

# What the embedding examples (examples/embed) print on standard output.
set(RODAROVE_LOAD_MODULE_OUTPUT "append: 1 then 0; parent of 99: -1
path from 4 to the root (3): 4 2 1
leaves below 1: 2
can unload: 1
")
set(RODAROVE_LINK_MODULE_OUTPUT "rodarove ${VERSION}: 2 classes, 114 and 837
children of 1: 2 (2 3)
")

# rodarove_run(OUT_VAR [ERRORS ERR_VAR] [WORKING_DIRECTORY DIR] COMMAND ...):
# runs a command and fails the test unless it exits 0. OUT_VAR receives its
# standard output, without carriage returns, and its standard error merged
# in order, or in ERR_VAR when that is given.
function(rodarove_run out_var)
  cmake_parse_arguments(ARG "" "ERRORS;WORKING_DIRECTORY" "COMMAND" ${ARGN})
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(err out)
  if(ARG_ERRORS)
    set(err errors)
  endif()
  execute_process(COMMAND ${ARG_COMMAND} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY}
                  OUTPUT_VARIABLE out ERROR_VARIABLE ${err} RESULT_VARIABLE rc)
  string(REPLACE "\r" "" out "${out}")
  string(REPLACE "\r" "" errors "${errors}")
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARG_COMMAND}")
    message(FATAL_ERROR "'${shown}' failed (${rc}):\n${out}${errors}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
  if(ARG_ERRORS)
    set(${ARG_ERRORS} "${errors}" PARENT_SCOPE)
  endif()
endfunction()

# rodarove_expect_equal(WHAT EXPECTED ACTUAL)
function(rodarove_expect_equal what expected actual)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}:\n--- expected\n${expected}\n--- got\n${actual}")
  endif()
endfunction()

# rodarove_list_tree(DIR OUT_VAR): the files under DIR as a sorted list of
# relative paths; a symbolic link is listed as "path -> target".
function(rodarove_list_tree dir out_var)
  file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
  set(listed)
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK ${dir}/${entry})
      file(READ_SYMLINK ${dir}/${entry} target)
      list(APPEND listed "${entry} -> ${target}")
    else()
      list(APPEND listed "${entry}")
    endif()
  endforeach()
  list(SORT listed)
  set(${out_var} "${listed}" PARENT_SCOPE)
endfunction()

# rodarove_fresh_dir(DIR): an empty folder at DIR.
function(rodarove_fresh_dir dir)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
endfunction()

# rodarove_single_file(OUT_VAR PATTERN): the one file matching PATTERN.
function(rodarove_single_file out_var pattern)
  file(GLOB found ${pattern})
  list(LENGTH found n)
  if(NOT n EQUAL 1)
    message(FATAL_ERROR "expected one file matching ${pattern}, found ${n}: ${found}")
  endif()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# rodarove_build_examples(BUILD_DIR CMAKE_ARGS...): configures examples/embed
# in BUILD_DIR with the test's GENERATOR (and MAKE_PROGRAM), warnings as
# errors and no package registry, then builds it.
function(rodarove_build_examples dir)
  set(args -G ${GENERATOR})
  if(MAKE_PROGRAM)
    list(APPEND args -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
  endif()
  rodarove_run(out COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/embed -B ${dir} ${args}
               "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
               ${ARGN})
  rodarove_run(out COMMAND ${CMAKE_COMMAND} --build ${dir})
endfunction()

# rodarove_check_host(HOST [EMULATOR ...] [SCRIPT_DIR DIR]): the host program
# HOST, run without --module as a user runs it, reports the project's
# version, finds its module and runs host_session.txt (copied into DIR,
# beside the host by default): its output is host_session.expected, and the
# debugger output (its standard error) the leak report of the one component
# left live.
function(rodarove_check_host host)
  cmake_parse_arguments(ARG "" "SCRIPT_DIR" "EMULATOR" ${ARGN})
  rodarove_run(version COMMAND ${ARG_EMULATOR} ${host} --version)
  rodarove_expect_equal("${host} --version" "rodarove-host ${VERSION}\n" "${version}")

  get_filename_component(dir ${host} DIRECTORY)
  if(ARG_SCRIPT_DIR)
    set(dir ${ARG_SCRIPT_DIR})
  endif()
  file(COPY ${RODAROVE_INSTALL_TESTS_DIR}/host_session.txt DESTINATION ${dir})
  rodarove_run(out ERRORS err COMMAND ${ARG_EMULATOR} ${host} host_session.txt
               WORKING_DIRECTORY ${dir})
  file(READ ${RODAROVE_INSTALL_TESTS_DIR}/host_session.expected expected)
  rodarove_expect_equal("${host} host_session.txt" "${expected}" "${out}")
  string(REGEX REPLACE "Pointer:0x[0-9a-fA-F]+" "Pointer:<address>" err "${err}")
  set(rule "Pavex[Error]:=================================================================\n")
  rodarove_expect_equal("${host} host_session.txt, debugger output" "${rule}\
Pavex[Error]:Found leak Pavex components. Count:1
Pavex[Error]:ComponentID:0x00000345 CreatorID:0x00000005 Pointer:<address>
${rule}" "${err}")
endfunction()

# rodarove_pe_names(OBJDUMP IMAGE DLL EXPORTS_VAR IMPORTS_VAR): the names the
# PE image IMAGE exports and the names it imports from DLL (any case), each
# sorted, as objdump -p lists them.
function(rodarove_pe_names objdump image dll exports_var imports_var)
  rodarove_run(dump COMMAND ${objdump} -p ${image})
  string(REPLACE "\n" ";" lines "${dump}")
  string(TOLOWER "${dll}" dll)
  set(exports)
  set(imports)
  set(in_exports FALSE)
  set(in_imports FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_exports TRUE)
    elseif(in_exports AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)$")
      list(APPEND exports ${CMAKE_MATCH_1})
    elseif(line MATCHES "DLL Name: (.+)$")
      string(TOLOWER "${CMAKE_MATCH_1}" named)
      set(in_imports FALSE)
      if(named STREQUAL dll)
        set(in_imports TRUE)
      endif()
    elseif(in_imports AND line MATCHES "^\t[0-9a-fA-F]+\t +[0-9]+  ([^ \t]+)$")
      list(APPEND imports ${CMAKE_MATCH_1})
    elseif(NOT line MATCHES "Hint/Ord")
      set(in_exports FALSE)
      set(in_imports FALSE)
    endif()
  endforeach()
  list(SORT exports)
  list(SORT imports)
  set(${exports_var} "${exports}" PARENT_SCOPE)
  set(${imports_var} "${imports}" PARENT_SCOPE)
endfunction()
