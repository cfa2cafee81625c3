# Debian package: cpack -G DEB in the build folder makes tavro_<version>_<arch>.deb.
# The package's dependencies come from the shared libraries of the programs
# (dpkg-shlibdeps); the window also needs Qt's platform plugins, which the Qt
# libraries only recommend. The caches of the menus, icons and MIME types are
# brought up to date by the triggers of the packages that own them.
set(TAVRO_PACKAGE_MAINTAINER "Tavro developers <tavro@localhost>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavro developers")
set(CPACK_PACKAGE_CONTACT ${TAVRO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-level minimizer for systems of Boolean functions")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavro minimizes a system of Boolean functions, given as lists of minterms or
maxterms with don't cares or as Berkeley PLA files, to sums of products or
products of sums in one multi-output Quine-McCluskey run, and writes the
result as text, VHDL, Verilog or PLA. The package holds the window program
tavro and the command-line tool tavro-cli.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET tavro)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()

include(CPack)
