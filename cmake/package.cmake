# The Debian package: cpack -G DEB in a build configured with
# CMAKE_INSTALL_PREFIX=/usr makes tarnlet_VERSION_ARCH.deb.
set(CPACK_PACKAGE_NAME tarnlet)
set(CPACK_PACKAGE_VENDOR "${TARNLET_AUTHORS}")
set(CPACK_PACKAGE_CONTACT "${TARNLET_AUTHORS}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The .pc file is written at install time with the prefix installed to; with
# DESTDIR that prefix is /usr, not CPack's staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# shlibs and the ldconfig trigger for libtarnlet.so.1.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnlet sends one message per call of its C interface: SMTP in clear text\nor TLS (port 465, STARTTLS on 587, POP3 on 995; the server's certificate\nalways verified), SMTP AUTH (CRAM-MD5, PLAIN or LOGIN) or POP before SMTP,\nShift-JIS text as ISO-2022-JP, files as base64 attachments. With the\ntarnlet command, the header, and the CMake and pkg-config files for\nbuilding against it.")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
