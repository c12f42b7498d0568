# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=... -DEMULATOR=wine
#       -DTOOLCHAIN_FILE=... -DGENERATOR=... [-DMAKE_PROGRAM=...] -DMSVC_TRIPLE=...
#       [-DCLANG=... -DLLD_LINK=...] -P package_zip_test.cmake
#
# The Windows zip, made by cpack from the build folder and unpacked into a
# fresh folder: it holds exactly what `cmake --install` installs, the host
# program runs there, and hosts built against it alone run: the embedding
# examples with MinGW through the CMake package (one links the import
# library rodarove.lib, the other loads rodarove.dll with LoadLibraryA), and
# a host made with clang and lld-link, the Visual C++-compatible linker.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

rodarove_fresh_dir(${WORK_DIR})
rodarove_run(out COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
rodarove_list_tree(${WORK_DIR}/prefix installed)
foreach(required bin/rodarove.dll bin/rodarove-host.exe lib/rodarove.lib lib/rodarove.def
                 include/rodarove/rodarove.h include/rodarove/version.h
                 lib/cmake/rodarove/rodaroveConfig.cmake lib/pkgconfig/rodarove.pc)
  if(NOT required IN_LIST installed)
    message(FATAL_ERROR "the install lacks ${required}: ${installed}")
  endif()
endforeach()
if(installed MATCHES "PavFact")
  message(FATAL_ERROR "the stand-in factory is installed: ${installed}")
endif()

rodarove_run(out COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake
             -B ${WORK_DIR}/out)
rodarove_single_file(zip ${WORK_DIR}/out/rodarove-${VERSION}-win*.zip)
set(fresh ${WORK_DIR}/fresh)
file(MAKE_DIRECTORY ${fresh})
rodarove_run(out COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${fresh})
get_filename_component(top ${zip} NAME_WLE)
set(top ${fresh}/${top})
rodarove_list_tree(${top} packed)
rodarove_expect_equal("files of ${zip}" "${installed}" "${packed}")
rodarove_check_host(${top}/bin/rodarove-host.exe EMULATOR ${EMULATOR})

# The embedding examples, built through the CMake package of the unpacked
# zip (the cross toolchain finds packages only under its own root, so the
# package's folder is given) and run beside the DLL. Without a debugger the
# module's output goes nowhere.
rodarove_build_examples(${WORK_DIR}/embed -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
                        -Drodarove_DIR=${top}/lib/cmake/rodarove)
file(COPY ${WORK_DIR}/embed/link_module.exe ${WORK_DIR}/embed/load_module.exe
     DESTINATION ${top}/bin)
rodarove_run(out ERRORS err COMMAND ${EMULATOR} ${top}/bin/link_module.exe)
rodarove_expect_equal("link_module.exe" "${RODAROVE_LINK_MODULE_OUTPUT}" "${out}")
rodarove_run(out ERRORS err COMMAND ${EMULATOR} ${top}/bin/load_module.exe
             WORKING_DIRECTORY ${top}/bin)
rodarove_expect_equal("load_module.exe" "${RODAROVE_LOAD_MODULE_OUTPUT}" "${out}")

if(CLANG AND LLD_LINK)
  rodarove_run(out COMMAND ${CLANG} --target=${MSVC_TRIPLE} -O1 -ffreestanding -fno-exceptions
               -fno-rtti -I${top}/include -c ${CMAKE_CURRENT_LIST_DIR}/msvc_consumer.cc
               -o ${WORK_DIR}/msvc_consumer.obj)
  rodarove_run(out COMMAND ${LLD_LINK} /nologo /entry:RodaroveConsumerEntry /subsystem:console
               /nodefaultlib ${WORK_DIR}/msvc_consumer.obj ${top}/lib/rodarove.lib
               /out:${top}/bin/msvc_consumer.exe)
  rodarove_run(out COMMAND ${EMULATOR} ${top}/bin/msvc_consumer.exe)
else()
  message(STATUS "no clang or lld-link: rodarove.lib not tried with a Visual C++ linker")
endif()
