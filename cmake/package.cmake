# Packages of what `cmake --install` installs (cmake/install.cmake), every
# component in one archive, made by `cpack` in a build folder;
# scripts/package.sh makes them all into dist/.
#   Linux:   rodarove-VERSION-Linux-ARCH.tar.gz
#   Windows: rodarove-VERSION-win64.zip or rodarove-VERSION-win32.zip
# The Debian packages, one per component, are made by
# scripts/debian-packages.sh from a build for /usr.
set(CPACK_PACKAGE_NAME rodarove)
set(CPACK_PACKAGE_VENDOR rodarove)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Tree container component module for component framework hosts")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # CPack names the Windows packages win32 and win64 by itself.
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()

include(CPack)
