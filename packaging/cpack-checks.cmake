# Read by cpack before it builds the package.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/usr")
    message(WARNING "The package installs under ${CPACK_PACKAGING_INSTALL_PREFIX}; a Debian "
                    "package belongs under /usr. Configure with -DCMAKE_INSTALL_PREFIX=/usr.")
endif()
