# The project's one version, PROJECT_VERSION, as the code and the Windows
# binaries see it.

# include/rodarove/version.h in the build tree, installed with the headers.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/include/rodarove/version.h @ONLY)

set(RODAROVE_VERSION_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

# rodarove_add_version_resource(TARGET DESCRIPTION): on Windows, gives the
# DLL or executable TARGET a VERSIONINFO resource with the project's version,
# DESCRIPTION as its FileDescription and the target's file name as its
# OriginalFilename. Does nothing elsewhere.
function(rodarove_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(RC_FILE_TYPE VFT_APP)
  else()
    set(RC_FILE_TYPE VFT_DLL)
  endif()
  set(RC_DESCRIPTION "${description}")
  set(RC_FILE_NAME "$<TARGET_FILE_NAME:${target}>")
  set(RC_INTERNAL_NAME "$<TARGET_FILE_BASE_NAME:${target}>")
  file(READ ${RODAROVE_VERSION_RC_TEMPLATE} template)
  string(CONFIGURE "${template}" content @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "${content}")
  set_source_files_properties(${rc} PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE ${rc})
endfunction()
