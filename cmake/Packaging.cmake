# Debian package of the program, the tool and their data: cpack --config build/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tenvari)
set(CPACK_PACKAGE_VENDOR "The Tenvari developers")
# The same contact and home page as the about dialog.
set(CPACK_PACKAGE_CONTACT "The Tenvari developers <info@tenvari.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tenvari.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of values between units and integers between bases")
# Debian shows the description in 80 columns: each line here stays within 79, the package adds
# one blank in front.
set(CPACK_PACKAGE_DESCRIPTION
    "Tenvari converts a value from one unit of measure into another, and a
non-negative integer from one number base into another (bases 2 to 36), with a
Japanese user interface. Units are read from plain text files that users can
extend; values may be arithmetic expressions with prefixes.

The package also holds tenvari-cli, which converts on the command line and
checks unit files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Folders 0755 whatever the umask of the one who builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Depends: dpkg-shlibdeps names the linked libraries with their minimum versions; this list names
# what no linked library reveals: the Qt platform plugins, loaded at run time, the Japanese font
# that the windows ask for by name, and Qt's Japanese texts, loaded from Qt's translations folder.
set(TENVARI_PACKAGE_DEPENDS qt6-qpa-plugins fonts-ipafont-gothic qt6-translations-l10n)
list(JOIN TENVARI_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The binaries ship stripped, whatever the build type; debug information stays in the build tree.
# (CPack's own -dbgsym package lists absolute paths in its md5sums and lacks a copyright file.)
set(CPACK_TENVARI_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/DebianStrip.cmake")
include(CPack)
