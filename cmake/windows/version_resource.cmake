# tarnlet_version_resource(target description file type): a VERSIONINFO
# resource for a Windows binary; type is VFT_DLL or VFT_APP.
function(tarnlet_version_resource target description file type)
  set(TARNLET_RC_DESCRIPTION "${description}")
  set(TARNLET_RC_FILE "${file}")
  set(TARNLET_RC_TYPE "${type}")
  get_filename_component(TARNLET_RC_NAME "${file}" NAME_WE)
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
endfunction()
