# cmake -DBUILD_DIR=... -DWORK_DIR=... -DVERSION=... -P package_test.cmake
#
# The Linux .tar.gz, made by cpack from the build folder: it holds exactly
# what `cmake --install` installs, symbolic links included, and the host
# program runs from it unpacked. (deb_test checks the Debian packages.)
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

rodarove_fresh_dir(${WORK_DIR})
rodarove_run(out COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
rodarove_list_tree(${WORK_DIR}/prefix installed)

rodarove_run(out COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake
             -B ${WORK_DIR}/out)

rodarove_single_file(tgz ${WORK_DIR}/out/rodarove-${VERSION}-Linux-*.tar.gz)
file(MAKE_DIRECTORY ${WORK_DIR}/tgz)
rodarove_run(out COMMAND ${CMAKE_COMMAND} -E tar xzf ${tgz} WORKING_DIRECTORY ${WORK_DIR}/tgz)
get_filename_component(top ${tgz} NAME)
string(REPLACE ".tar.gz" "" top "${top}")
rodarove_list_tree(${WORK_DIR}/tgz/${top} packed)
rodarove_expect_equal("files of ${tgz}" "${installed}" "${packed}")
rodarove_check_host(${WORK_DIR}/tgz/${top}/bin/rodarove-host)

