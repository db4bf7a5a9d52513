# The Debian package of Tavrin: `cpack -G DEB` in the build folder writes
# tavrin_<version>_<architecture>.deb with what the install rules put under
# /usr (the program, and app/desktop's desktop entry, icon, metainfo, MIME
# type and manual page), and the copyright file and changelog Debian asks of
# every package, in /usr/share/doc/tavrin.

include(GNUInstallDirs)

# The copyright file in Debian's machine-readable format, its license text
# taken from LICENSE (Debian calls the MIT license "Expat"): from the
# permission notice on, every line indented by one space and an empty line
# written as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(FIND "${license}" "Permission is hereby granted" notice)
string(SUBSTRING "${license}" ${notice} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE holder REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
string(REPLACE "Copyright (c) " "" holder "${holder}")
set(copyright ${PROJECT_BINARY_DIR}/debian/copyright)
file(WRITE ${copyright}
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: Tavrin\n"
  "Upstream-Contact: Tavrin developers <tavrin@example.org>\n"
  "\n"
  "Files: *\n"
  "Copyright: ${holder}\n"
  "License: Expat\n"
  "\n"
  "License: Expat\n"
  " ${license}\n")

# The changelog of a native package, compressed as Debian keeps it.
set(changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
find_program(TAVRIN_GZIP gzip)
mark_as_advanced(TAVRIN_GZIP)
if(TAVRIN_GZIP)
  add_custom_command(
    OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${PROJECT_BINARY_DIR}/debian/
    COMMAND ${TAVRIN_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/debian/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(tavrin_changelog ALL DEPENDS ${changelog})
  install(FILES ${copyright} ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin)
else()
  install(FILES ${copyright} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin developers")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <tavrin@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# The package's long description, as Debian shows it under the summary.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tavrin is a tool for the owner of a league in a football league simulation"
  "game. It changes the eight potential ratings of many players at once, so"
  "that the game no longer gives away how good young players will become, and"
  "undoes that later: Hide sets the potentials to 0 up to an experience limit,"
  "Randomize moves them by a random amount that shrinks with experience, and"
  "Restore brings back the potentials saved by the last run. Tavrin opens the"
  "league file (*.lge) and changes the player file (*.pyr) beside it.")
# Debian builds strip their programs; the build folder keeps the debug info.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavrin developers <tavrin@example.org>")
# A tool for a game's files, not a game: Debian's games section is for
# programs in /usr/games. The desktop entry still lists it under Games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# The libraries come from dpkg-shlibdeps (dpkg-dev) when it is there, with the
# versions the build machine's libraries need; otherwise from Debian 12's
# names. Qt loads its platform plugins at run time, which no tool can see:
# without them the window cannot open.
find_program(TAVRIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(TAVRIN_DPKG_SHLIBDEPS)
if(TAVRIN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6, libqt6gui6, libqt6core6, qt6-qpa-plugins, libsqlite3-0, libstdc++6, libgcc-s1, libc6")
endif()

include(CPack)
