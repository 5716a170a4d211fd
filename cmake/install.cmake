# cmake --install: the header, the library with its soname links, the
# tarnlet command and its manual page, a CMake package (find_package(Tarnlet) gives
# Tarnlet::tarnlet), a pkg-config file and the documentation.
include(CMakePackageConfigHelpers)

install(TARGETS tarnlet EXPORT TarnletTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tarnlet.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
if(TARGET tarnlet_command)
  # The command carries the library's code itself; it loads no libtarnlet.so.
  install(TARGETS tarnlet_command RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endif()
if(TARGET tarnlet_man_page)
  install(FILES ${PROJECT_BINARY_DIR}/tarnlet.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
endif()

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tarnlet)
install(EXPORT TarnletTargets NAMESPACE Tarnlet:: DESTINATION ${_cmake_dir}
  COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TarnletConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TarnletConfig.cmake INSTALL_DESTINATION ${_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TarnletConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TarnletConfig.cmake
  ${PROJECT_BINARY_DIR}/TarnletConfigVersion.cmake
  DESTINATION ${_cmake_dir} COMPONENT Development)

# The prefix in the .pc file is the one installed to, which is known only
# when cmake --install runs (--prefix, or /usr for the Debian package).
set(TARNLET_PC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/tarnlet.pc.in)
install(CODE "
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  set(PROJECT_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
  set(TARNLET_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(TARNLET_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  configure_file(\"${TARNLET_PC_TEMPLATE}\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/tarnlet.pc\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES
    \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/tarnlet.pc\")
  " COMPONENT Development)

# The documentation folder: a README for someone who installed the package
# (the source tree's speaks of its scripts), the docs, the host bindings
# without their tests, and the examples.
set(_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnlet)
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.installed.md ${PROJECT_BINARY_DIR}/README.md @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${_doc_dir} COMPONENT Runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${_doc_dir}/docs COMPONENT Runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/bindings/ DESTINATION ${_doc_dir}/bindings COMPONENT Runtime
  PATTERN tests EXCLUDE PATTERN CMakeLists.txt EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/examples/send_with_ini.c ${PROJECT_SOURCE_DIR}/examples/example.ini
  ${PROJECT_SOURCE_DIR}/examples/body-sjis.txt
  DESTINATION ${_doc_dir}/examples COMPONENT Runtime)
