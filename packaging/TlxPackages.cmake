# CPack settings: Debian packages split as Debian splits a library.
#   libtlxdev1      the versioned library and the udev rule
#   libtlxdev-dev   headers, the development link, pkg-config and CMake files
#   tlx-tools       TLX_Demo, TLX_Tool and the virtual terminal, launchers,
#                   tlxctl
#   tlxd            the terminal service with its systemd user unit, its
#                   configuration in /etc/tlx, the example page
# Dependencies on other packages come from dpkg-shlibdeps; the ones between
# these packages are stated here, since the programs bind the library at run
# time and no tool can see that. tlxctl does link the library: dpkg-shlibdeps
# finds libtlxdev.so.1 in the build tree (it is no installed package yet) and,
# with no shlibs information there, leaves that dependency to the one stated
# here.

# The Debian architecture of the binaries being built (a cross build for
# arm64 says so through its compiler's multiarch triplet).
if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "aarch64-linux-gnu")
  set(TLX_DEB_ARCH arm64)
elseif(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "x86_64-linux-gnu")
  set(TLX_DEB_ARCH amd64)
else()
  execute_process(COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE TLX_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()

configure_file(debian/shlibs.in ${CMAKE_CURRENT_BINARY_DIR}/debian/shlibs @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tlxdev)
set(CPACK_PACKAGE_VENDOR "TLX host software developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TLX host software developers <host-team@tlx-host.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development tools)
if(TARGET tlxd)
  list(APPEND CPACK_COMPONENTS_ALL service)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TLX_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Where the build puts libtlxdev (no output directory is set for it: its
# folder's binary directory).
get_target_property(TLX_LIBRARY_BUILD_DIR tlxdev BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TLX_LIBRARY_BUILD_DIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${TLX_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
"host library for the TLX bank counter terminal
libtlxdev speaks the command protocol of the TLX counter terminal (PIN pad,
satisfaction evaluator, numeric keypad, information and signature screen,
media storage) over a serial line or USB HID, behind a flat C interface of
TLX_ functions.
.
This package holds the shared library and a udev rule that gives the user
logged in at the seat access to the terminal's USB identities.")
# The library's shlibs entry and the ldconfig trigger are stated here; the
# postinst and postrm apply the udev rule to a terminal that is plugged in.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/debian/shlibs
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${TLX_DEB_DEVELOPMENT})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${TLX_DEB_RUNTIME} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
"development files of libtlxdev, the TLX counter terminal library
libtlxdev speaks the command protocol of the TLX counter terminal over a
serial line or USB HID, behind a flat C interface of TLX_ functions.
.
This package holds the header tlxdev.h, the development link, the
pkg-config file tlxdev.pc and the CMake package (find_package(tlxdev) gives
the target tlxdev::tlxdev).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${TLX_DEB_TOOLS})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${TLX_DEB_RUNTIME} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
"demonstration program, loop-test tool and virtual terminal for TLX
TLX_Demo calls every function of the TLX counter terminal library from its
pages and logs what happened; TLX_Tool runs chosen functions again and again
and counts the results; tlxctl calls them from the command line, for
scripts, finds the terminal on the serial ports and on USB, and decodes the
library's wire trace. The virtual terminal speaks the device side of the
protocol over a pseudo-terminal and a libusb stand-in, for trying both
without a terminal (tlx-demo --sim, tlx-tool --sim).")

set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME ${TLX_DEB_SERVICE})
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "${TLX_DEB_RUNTIME} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/service/conffiles)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION
"local service that offers the TLX counter terminal to web pages
tlxd owns the link to the TLX counter terminal for one desktop session and
offers every function of libtlxdev as JSON messages: to web pages over a
WebSocket on the loopback interface (allowed origins with their tokens only)
and to local programs over a Unix socket, one command at a time, the others
queued in arrival order.
.
This package holds tlxd with its systemd user unit, its configuration file,
the JavaScript client tlx.js and an example teller page.")

include(CPack)
