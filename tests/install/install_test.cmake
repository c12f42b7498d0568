# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=... -DCONFIG=...
#       -DLIBDIR=lib -DCXX=... -DGENERATOR=... [-DMAKE_PROGRAM=...] -DOBJDUMP=...
#       -P install_test.cmake
#
# `cmake --install` into a fresh prefix: what it holds, two hosts built
# against that prefix alone (through the CMake package and through
# pkg-config) and run, the installed host program, and all of it again
# after the prefix has moved.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

rodarove_fresh_dir(${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
rodarove_run(out COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Exactly these files: the public headers and version.h, the module with its
# SONAME link and development link, the host and its manual page, the CMake
# package, the .pc, the license.
string(REGEX MATCH "^[0-9]+" major "${VERSION}")
file(GLOB headers RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/rodarove/*.h)
list(TRANSFORM headers PREPEND include/)
string(TOLOWER "${CONFIG}" config)
set(expected ${headers}
    include/rodarove/version.h
    bin/rodarove-host
    share/man/man1/rodarove-host.1.gz
    share/doc/rodarove/LICENSE
    "${LIBDIR}/librodarove.so -> librodarove.so.${major}"
    "${LIBDIR}/librodarove.so.${major} -> librodarove.so.${VERSION}"
    ${LIBDIR}/librodarove.so.${VERSION}
    ${LIBDIR}/cmake/rodarove/rodaroveConfig.cmake
    ${LIBDIR}/cmake/rodarove/rodaroveConfigVersion.cmake
    ${LIBDIR}/cmake/rodarove/rodaroveTargets.cmake
    ${LIBDIR}/cmake/rodarove/rodaroveTargets-${config}.cmake
    ${LIBDIR}/pkgconfig/rodarove.pc)
list(SORT expected)
rodarove_list_tree(${prefix} installed)
rodarove_expect_equal("installed files" "${expected}" "${installed}")

rodarove_run(dump COMMAND ${OBJDUMP} -p ${prefix}/${LIBDIR}/librodarove.so.${VERSION})
if(NOT dump MATCHES "SONAME +librodarove\\.so\\.${major}\n")
  message(FATAL_ERROR "librodarove.so.${VERSION} lacks SONAME librodarove.so.${major}:\n${dump}")
endif()

rodarove_check_host(${prefix}/bin/rodarove-host)

# The embedding examples, built against the prefix through the CMake package
# only: no package registry, and nothing of the source or build tree.
set(embed ${WORK_DIR}/embed)
rodarove_build_examples(${embed} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix}
                        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
file(STRINGS ${embed}/CMakeCache.txt found REGEX "^rodarove_DIR:")
rodarove_expect_equal("package found" "rodarove_DIR:PATH=${prefix}/${LIBDIR}/cmake/rodarove"
                      "${found}")
file(READ ${embed}/compile_commands.json commands)
foreach(outside ${SOURCE_DIR}/include ${BUILD_DIR}/include)
  string(FIND "${commands}" "${outside}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "the examples were compiled with ${outside}:\n${commands}")
  endif()
endforeach()
rodarove_run(out ERRORS err
             COMMAND ${embed}/load_module ${prefix}/${LIBDIR}/librodarove.so.${major})
rodarove_expect_equal("load_module" "${RODAROVE_LOAD_MODULE_OUTPUT}" "${out}")
# Without a Pavex.ini naming the factory, the release of the last component
# tells the debugger output (standard error) that the factory did not load.
rodarove_expect_equal("load_module's debugger output" "[Pavex_Error] Load PavFact.dll Fail.\n"
                      "${err}")
rodarove_run(out ERRORS err COMMAND ${embed}/link_module)
rodarove_expect_equal("link_module (CMake package)" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")

# The same host through pkg-config, as the README compiles it: the rpath
# names the prefix's library folder plainly.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
rodarove_run(modversion COMMAND pkg-config --modversion rodarove)
rodarove_expect_equal("pkg-config --modversion" "${VERSION}\n" "${modversion}")
rodarove_run(flags COMMAND pkg-config --cflags --libs rodarove)
separate_arguments(flags UNIX_COMMAND "${flags}")
rodarove_run(out COMMAND ${CXX} -Wall -Wextra -Werror ${SOURCE_DIR}/examples/embed/link_module.cc
             ${flags} -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK_DIR}/link_module_pc)
rodarove_run(dump COMMAND ${OBJDUMP} -p ${WORK_DIR}/link_module_pc)
string(REGEX MATCH "R(UN)?PATH +[^\n]*" rpath "${dump}")
rodarove_expect_equal("link_module's rpath" "RUNPATH              ${prefix}/${LIBDIR}" "${rpath}")
rodarove_run(out ERRORS err COMMAND ${WORK_DIR}/link_module_pc)
rodarove_expect_equal("link_module (pkg-config)" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")

# A moved prefix: the host still finds its module, pkg-config names the new
# place, and the module loads from there.
set(moved ${WORK_DIR}/moved/prefix)
file(MAKE_DIRECTORY ${WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
rodarove_check_host(${moved}/bin/rodarove-host)
set(ENV{PKG_CONFIG_PATH} ${moved}/${LIBDIR}/pkgconfig)
rodarove_run(cflags COMMAND pkg-config --cflags rodarove)
if(NOT cflags MATCHES "^-I${moved}/")
  message(FATAL_ERROR "pkg-config in the moved prefix answers ${cflags}")
endif()
rodarove_run(out ERRORS err
             COMMAND ${embed}/load_module ${moved}/${LIBDIR}/librodarove.so.${major})
rodarove_expect_equal("load_module (moved prefix)" "${RODAROVE_LOAD_MODULE_OUTPUT}" "${out}")
