# The Debian package of the installed tree (make deb: cpack -G DEB in the build folder):
# qvupdate_<project version>_<arch>.deb, its dependencies computed from the programs by
# dpkg-shlibdeps, the maintainer scripts that apply the udev rule at once.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvupdate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update tool for QV4820 USB audio products")
set(CPACK_PACKAGE_DESCRIPTION
    "Updates the firmware of USB audio products built on the QV4820 bridge chip:
plug in the product, start qvupdate and press Start. Service staff get
maintenance pages for the chip's registers, its I2C bus, its serial flash and
the product parameters, and the command-line tool qvtool for benches and
production lines. A virtual QV4820 stands in for the hardware to rehearse
every operation.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${QV_DOCS_DIR}/debian/postinst ${QV_DOCS_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
