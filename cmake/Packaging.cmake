# Debian package of the program, the tool and their data: cpack --config build/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tenvari)
set(CPACK_PACKAGE_VENDOR "The Tenvari developers")
# The same contact and home page as the about dialog.
set(CPACK_PACKAGE_CONTACT "The Tenvari developers <info@tenvari.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tenvari.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converter of values between units and integers between bases")
set(CPACK_PACKAGE_DESCRIPTION
    "Tenvari converts a value from one unit of measure into another, and a non-negative integer
from one number base into another (bases 2 to 36), with a Japanese user interface. Units are
read from plain text files that users can extend; values may be arithmetic expressions with
prefixes. The package also holds tenvari-cli, which converts on the command line and checks
unit files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The Japanese font is a run-time need that no library links against, so it is named by hand
# like the rest; the Qt platform plugins are loaded at run time as well.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6, libqt6gui6, libqt6widgets6, qt6-qpa-plugins, libcanberra0, fonts-ipafont-gothic")
include(CPack)
