# What `cmake --install` puts under the prefix:
#   include/rodarove/        the public headers and version.h
#   lib/librodarove.so*      the module (Linux), with its SONAME link
#   bin/rodarove.dll         the module (Windows), with lib/rodarove.lib, an
#                            import library for Visual C++ and GNU linkers,
#                            and lib/rodarove.def
#   bin/rodarove-host        the host program (host/CMakeLists.txt), with its
#                            manual page share/man/man1/rodarove-host.1.gz
#                            (Linux)
#   lib/cmake/rodarove/      the CMake package: rodarove::rodarove links the
#                            module, rodarove::headers is for run-time loading
#   lib/pkgconfig/rodarove.pc
# The stand-in factory PavFact is a test aid and is not installed.
#
# Every file belongs to one install component, and each Debian package
# (scripts/debian-packages.sh) holds one component:
#   runtime  the module: librodarove.so.1 and its file, rodarove.dll
#   dev      headers, librodarove.so, rodarove.lib/.def, CMake package, .pc
#   host     the host program (host/CMakeLists.txt)
include(CMakePackageConfigHelpers)

set(RODAROVE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rodarove)

if(WIN32)
  # MinGW's linker writes a GNU import library; rewrite it from the .def in
  # the short format of Visual C++'s lib.exe, which GNU ld reads as well.
  find_program(RODAROVE_DLLTOOL
    NAMES llvm-dlltool llvm-dlltool-17 llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
          llvm-dlltool-13 ${RODAROVE_MINGW_PREFIX}-dlltool dlltool)
  if(NOT RODAROVE_DLLTOOL)
    message(FATAL_ERROR
      "no dlltool for the import library (install llvm or binutils-mingw-w64)")
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(machine i386:x86-64)
  else()
    set(machine i386)
  endif()
  add_custom_command(TARGET rodarove POST_BUILD
    COMMAND ${RODAROVE_DLLTOOL} -m ${machine} -d ${PROJECT_SOURCE_DIR}/module/rodarove.def
            -D $<TARGET_FILE_NAME:rodarove> -l $<TARGET_LINKER_FILE:rodarove>
    VERBATIM)
  install(FILES ${PROJECT_SOURCE_DIR}/module/rodarove.def DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT dev)
endif()

install(TARGETS rodarove rodarove_headers EXPORT rodaroveTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/rodarove/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/rodarove COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/rodarove/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/rodarove COMPONENT dev)

install(EXPORT rodaroveTargets NAMESPACE rodarove:: DESTINATION ${RODAROVE_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/rodaroveConfig.cmake.in
  ${PROJECT_BINARY_DIR}/rodaroveConfig.cmake INSTALL_DESTINATION ${RODAROVE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/rodaroveConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/rodaroveConfig.cmake
              ${PROJECT_BINARY_DIR}/rodaroveConfigVersion.cmake
        DESTINATION ${RODAROVE_CMAKE_DIR} COMPONENT dev)

# The .pc file of a build for /usr names its folders plainly, so that
# pkg-config recognises the system's own and leaves out their -I and -L.
# Any other prefix may be chosen at install time or moved afterwards (the
# .tar.gz), so the .pc file names it relative to its own folder.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(RODAROVE_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH RODAROVE_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
       ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" RODAROVE_PC_PREFIX "\${pcfiledir}/${RODAROVE_PC_PREFIX}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/rodarove.pc.in ${PROJECT_BINARY_DIR}/rodarove.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rodarove.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# The license goes with every copy: the install, the .tar.gz and the
# Windows zips. A component of its own, which the Debian packages leave
# out: they carry it in their copyright files.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
