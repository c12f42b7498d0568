# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=... -DOBJDUMP=...
#       -DTOOLCHAIN_FILE=... -DGENERATOR=... [-DMAKE_PROGRAM=...] -DMSVC_TRIPLE=...
#       [-DCLANG=... -DLLD_LINK=...] -P package_zip_contents_test.cmake
#
# The Windows zip, made by cpack from the build folder and unpacked into a
# fresh folder, checked without running any of its programs: it holds
# exactly what `cmake --install` installs, and hosts built against it alone
# link: the embedding examples with MinGW through the CMake package (one
# links the import library rodarove.lib, the other loads rodarove.dll with
# LoadLibraryA), and a host made with clang and lld-link, the Visual
# C++-compatible linker, that names all seven exports. What they import
# from rodarove.dll is what the DLL exports. package_zip_test runs them in
# the unpacked folder, which this test leaves in WORK_DIR/fresh.
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

# What a program linked against rodarove.lib imports from rodarove.dll must
# be exported by it under that very name (the 32-bit import library maps
# the decorated _CreateComponent to CreateComponent).
rodarove_pe_names(${OBJDUMP} ${top}/bin/rodarove.dll rodarove.dll exports ignored)
if(NOT exports)
  message(FATAL_ERROR "${top}/bin/rodarove.dll: no exports found; objdump output not understood")
endif()
function(check_imports exe expected)
  rodarove_pe_names(${OBJDUMP} ${exe} rodarove.dll ignored imports)
  if(expected STREQUAL "of the DLL")
    if(NOT imports)
      message(FATAL_ERROR "${exe} imports nothing from rodarove.dll")
    endif()
    foreach(name IN LISTS imports)
      if(NOT name IN_LIST exports)
        message(FATAL_ERROR "${exe} imports ${name} from rodarove.dll, which exports [${exports}]")
      endif()
    endforeach()
  elseif(NOT "${imports}" STREQUAL "${expected}")
    message(FATAL_ERROR "${exe} imports [${imports}] from rodarove.dll, expected [${expected}]")
  endif()
  message(STATUS "${exe}: imports [${imports}] from rodarove.dll")
endfunction()

# The embedding examples, built through the CMake package of the unpacked
# zip (the cross toolchain finds packages only under its own root, so the
# package's folder is given), and placed beside the DLL.
rodarove_build_examples(${WORK_DIR}/embed -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
                        -Drodarove_DIR=${top}/lib/cmake/rodarove)
file(COPY ${WORK_DIR}/embed/link_module.exe ${WORK_DIR}/embed/load_module.exe
     DESTINATION ${top}/bin)
check_imports(${top}/bin/link_module.exe "of the DLL")
check_imports(${top}/bin/load_module.exe "")

if(CLANG AND LLD_LINK)
  rodarove_run(out COMMAND ${CLANG} --target=${MSVC_TRIPLE} -O1 -ffreestanding -fno-exceptions
               -fno-rtti -I${top}/include -c ${CMAKE_CURRENT_LIST_DIR}/msvc_consumer.cc
               -o ${WORK_DIR}/msvc_consumer.obj)
  rodarove_run(out COMMAND ${LLD_LINK} /nologo /entry:RodaroveConsumerEntry /subsystem:console
               /nodefaultlib ${WORK_DIR}/msvc_consumer.obj ${top}/lib/rodarove.lib
               /out:${top}/bin/msvc_consumer.exe)
  check_imports(${top}/bin/msvc_consumer.exe "${exports}")
else()
  message(STATUS "no clang or lld-link: rodarove.lib not tried with a Visual C++ linker")
endif()
