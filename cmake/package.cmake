# Packages of what `cmake --install` installs (cmake/install.cmake), made by
# `cpack` in a build folder; scripts/package.sh makes them all into dist/.
#   Linux:   rodarove-VERSION-Linux-ARCH.tar.gz and rodarove_VERSION_ARCH.deb
#   Windows: rodarove-VERSION-win64.zip or rodarove-VERSION-win32.zip
set(CPACK_PACKAGE_NAME rodarove)
set(CPACK_PACKAGE_VENDOR rodarove)
set(CPACK_PACKAGE_CONTACT "rodarove developers <rodarove@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Tree container component module for component framework hosts")
set(CPACK_PACKAGE_DESCRIPTION
    "rodarove is a component module: a library that a host component framework
loads to obtain component objects by number. It offers two tree containers
over integer node IDs through one interface of numbered slots. The package
holds the module, its headers, CMake and pkg-config files, and the host
program rodarove-host.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # CPack names the Windows packages win32 and win64 by itself.
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # A shlibs file and ldconfig triggers for librodarove.so.1.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  find_program(RODAROVE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(RODAROVE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()

include(CPack)
