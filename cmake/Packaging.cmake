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
# what no linked library reveals: the Japanese font that the windows ask for by name (any
# package that provides a Japanese Gothic font will do), and libcanberra and ALSA's library,
# which the program opens at its first sound rather than linking them. Recommends: xdg-open, which opens the
# help and the user's units file (without it the program says so), and Qt's Japanese texts
# (without them Qt's own buttons and menus speak English). Qt's platform plugins need nothing:
# xcb is in libqt6gui6.
set(TENVARI_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-japanese-gothic" libcanberra0 libasound2)
set(TENVARI_PACKAGE_RECOMMENDS xdg-utils qt6-translations-l10n)
list(JOIN TENVARI_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
list(JOIN TENVARI_PACKAGE_RECOMMENDS ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The program and its files, and Debian's files (packaging/CMakeLists.txt), which a plain
# `cmake --install` leaves out.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/" "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")

# Reproducible (reproducible-builds.org): every file and folder of the package is dated
# SOURCE_DATE_EPOCH, by default the date of the changelog's first entry, and the staged files get
# fixed modes (DebianStage.cmake). The modes of the package's own members follow the umask,
# which cpack cannot set: the target `deb` builds the package with umask 022, as
# dpkg-buildpackage does.
file(STRINGS "${PROJECT_SOURCE_DIR}/packaging/changelog" _trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" _released "${_trailer}")
execute_process(COMMAND date -u -d "${_released}" +%s OUTPUT_VARIABLE CPACK_TENVARI_SOURCE_DATE_EPOCH
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/PackagingRun.cmake")
add_custom_target(deb
    COMMAND sh -c "umask 022 && exec \"$0\" \"$@\"" "${CMAKE_CPACK_COMMAND}"
            --config "${PROJECT_BINARY_DIR}/CPackConfig.cmake" -B "${PROJECT_BINARY_DIR}/package"
    WORKING_DIRECTORY "${PROJECT_BINARY_DIR}"
    COMMENT "Building the Debian package in ${PROJECT_BINARY_DIR}/package"
    USES_TERMINAL VERBATIM)

# The binaries ship stripped, whatever the build type; debug information stays in the build tree.
# (CPack's own -dbgsym package lists absolute paths in its md5sums and lacks a copyright file.)
set(CPACK_TENVARI_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/DebianStage.cmake")
include(CPack)
