# The Debian package of Tavrin: `cpack -G DEB` in the build folder writes
# tavrin_<version>_<architecture>.deb with what the install rules put under
# /usr (the program, and app/desktop's desktop entry, icon, metainfo, MIME
# type and manual page).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Tavrin developers")
set(CPACK_PACKAGE_CONTACT "Tavrin developers <tavrin@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "hide, randomize and restore the potential ratings of a league's players")
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
set(CPACK_DEBIAN_PACKAGE_SECTION games)
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
