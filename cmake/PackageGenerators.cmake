# CPack's settings per package: the Debian package holds the installed layout
# (component "program"), the portable archive the one-folder copy.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENTS_ALL portable)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_ARCHIVE_FILE_NAME})
endif()
