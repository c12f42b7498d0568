# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=... -DEMULATOR=wine
#       -DZIP_DIR=... [-DCLANG=... -DLLD_LINK=...] -P package_zip_test.cmake
#
# The programs of the Windows zip, in the folder where
# package_zip_contents_test unpacked it (ZIP_DIR, its work folder) and built
# its hosts, run under EMULATOR: the host program, as a user runs it, and
# the hosts built against the zip alone: the embedding examples (one linked
# with the import library rodarove.lib, the other loading rodarove.dll with
# LoadLibraryA) and the host linked by lld-link, the Visual C++-compatible
# linker.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

rodarove_single_file(top ${ZIP_DIR}/fresh/rodarove-${VERSION}-win*)
rodarove_check_host(${top}/bin/rodarove-host.exe EMULATOR ${EMULATOR})

# Without a debugger the module's output goes nowhere.
rodarove_run(out ERRORS err COMMAND ${EMULATOR} ${top}/bin/link_module.exe)
rodarove_expect_equal("link_module.exe" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")
rodarove_run(out ERRORS err COMMAND ${EMULATOR} ${top}/bin/load_module.exe
             WORKING_DIRECTORY ${top}/bin)
rodarove_expect_equal("load_module.exe" "${RODAROVE_LOAD_MODULE_OUTPUT}" "${out}")

if(CLANG AND LLD_LINK)
  rodarove_run(out COMMAND ${EMULATOR} ${top}/bin/msvc_consumer.exe)
else()
  message(STATUS "no clang or lld-link: no host linked by a Visual C++ linker to run")
endif()
