# The Debian package: `cpack -G DEB` in the build directory makes
# solvane_<version>_<arch>.deb. Its dependencies come from dpkg-shlibdeps.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME solvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Solvane developers")
set(CPACK_PACKAGE_CONTACT "${SOLVANE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# RelWithDebInfo binaries would otherwise ship their debug sections.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SOLVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SOLVANE_HOMEPAGE}")
# The window's "Courier New" resolves to the metric-compatible Liberation Mono,
# so the S-meter scale lines up as drawn.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"show and retune a Yaesu FT-847 over its CAT port
Solvane is a small desktop program for radio amateurs who run a Yaesu
FT-847. It polls the radio's CAT port ten times a second and shows the
frequency, the mode and the S-meter in one window. Sliders, megahertz,
band and mode buttons and memory channels from a text file retune the
radio, and a Speak button reads the frequency aloud.

Solvane shares the radio with WSJT-X, fldigi and loggers as a Hamlib NET
rigctl server on 127.0.0.1:4532. The package also holds ft847-sim, an
FT-847 simulator on a pseudo-terminal for trying it without a radio.")
# Control files must be root-owned and have normal permissions.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
