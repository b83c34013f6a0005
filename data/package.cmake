# The Debian package, made by CPack from the install rules: `cpack -G DEB` in the build
# folder writes tabulor_<version>_<arch>.deb. Depends comes from dpkg-shlibdeps on the
# installed programs; LibreOffice is only recommended, since without it workbooks go to
# the engine.
set(TABULOR_PACKAGE_MAINTAINER "Orvendi <tabulor@orvendi.example>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tabulor)
set(CPACK_PACKAGE_VENDOR Orvendi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter for tabular files")
# One paragraph per line of the list, wrapped for the control file by CPack's own rules.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tabulor converts Excel 97-2003 workbooks, Access (Jet) databases, text and"
  "CSV files and dBase tables into tab-separated text, HTML, CSV, Excel 97-2003"
  "workbooks, Jet 4 databases, dBase III, IV and 5.0 tables, or Lotus WK1"
  "worksheets, with a database engine of its own."
  ""
  "It runs as a window or from the command line, and uses LibreOffice Calc for"
  "workbooks where it is installed.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TABULOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The office for workbooks (dBase targets are written by the engine, not the office).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc-nogui")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
