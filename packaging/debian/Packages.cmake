# Debian packages, one per component, made by CPack from a tree configured
# with KORVO_DEB_PACKAGES=ON and the prefix /usr (make dist-deb):
#   libkorvocomm1      lib
#   libkorvocomm-dev   dev
#   korvoprog, korvosim, and korvod when its target exists.
set(deb_components lib dev korvoprog)
set(CPACK_DEBIAN_LIB_PACKAGE_NAME libkorvocomm${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkorvocomm-dev)
set(CPACK_DEBIAN_KORVOPROG_PACKAGE_NAME korvoprog)
set(CPACK_DEBIAN_KORVOSIM_PACKAGE_NAME korvosim)
set(CPACK_DEBIAN_KORVOD_PACKAGE_NAME korvod)
if(TARGET korvosim)
  list(APPEND deb_components korvosim)
endif()
if(TARGET korvod)
  list(APPEND deb_components korvod)
endif()

if(KORVO_DEB_PACKAGES)
  # Every package has its copyright file and changelog in its own doc folder.
  # The changelog's date is the last commit's when make passes
  # SOURCE_DATE_EPOCH, so that rebuilding gives the same package.
  string(TIMESTAMP KORVO_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
  set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  add_custom_command(
    OUTPUT ${changelog_gz}
    COMMAND gzip -9n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${changelog_gz}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog)
  add_custom_target(debian_changelog ALL DEPENDS ${changelog_gz})
  foreach(component IN LISTS deb_components)
    string(TOUPPER ${component} upper)
    set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright ${changelog_gz} DESTINATION ${doc}
            COMPONENT ${component})
  endforeach()
endif()

set(CPACK_PACKAGE_NAME korvo)
set(CPACK_PACKAGE_VENDOR "The Korvo kit developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Korvo kit developers <korvo@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${deb_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The install runs with DESTDIR and the real prefix, which the pkg-config file names.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The loader's cache is updated by dpkg's ldconfig trigger; scripts of our
# own keep CPack from adding ones that call ldconfig.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_LIB_DESCRIPTION
  "communication with Korvo fiscal printers - shared library
korvocomm connects point-of-sale applications to fiscal printers of the
Korvo family, which register every document with the eKasa system, over a
USB virtual COM port, RS-232 (framed, acknowledged link protocol) or TCP.
Applications send named commands with TAB-separated parameters and read the
response values and the error texts in English and Slovak through plain C
functions.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "communication with Korvo fiscal printers - development files
korvocomm connects point-of-sale applications to fiscal printers of the
Korvo family over USB, RS-232 or TCP.

This package holds the header korvocomm.h, the pkg-config file, the CMake
package (find_package(korvocomm)), the guides and the reference of every
command and result code.")

set(CPACK_DEBIAN_KORVOPROG_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_KORVOPROG_DESCRIPTION
  "runs a command file against a Korvo fiscal printer
korvoprog connects to one fiscal printer of the Korvo family over USB,
RS-232 or TCP, executes a command file line by line, writes every response
to a response file and reports the outcome by its exit code.")

set(CPACK_DEBIAN_KORVOSIM_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_KORVOSIM_DESCRIPTION
  "simulator of a Korvo fiscal printer
korvosim stands in for a fiscal printer of the Korvo family on TCP and on
pseudo-terminals (USB virtual COM port, RS-232 link protocol), for testing
point-of-sale applications without the hardware. It keeps document states,
checks items and payments with the printer's result codes, prints every
document on a paper roll file and injects faults on request.")

if(TARGET korvod)
  set(CPACK_DEBIAN_KORVOD_PACKAGE_SECTION net)
  # korvod reaches the printer through the shared library of this build.
  set(CPACK_COMPONENT_KORVOD_DEPENDS lib)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/api)
  set(CPACK_COMPONENT_KORVOD_DESCRIPTION
    "local print service for Korvo fiscal printers
korvod offers the fiscal printers of the Korvo family to point-of-sale
applications as a local HTTP service, with every receipt printed exactly
once.")
endif()

include(CPack)
