# Debian's hardening flags, as its own packages are built with them:
# dpkg-buildflags with every hardening feature (format-string checks,
# fortified functions, the stack protector, a read-only relocation table
# resolved at start-up, position-independent code, which Debian's compilers
# make by default). Taken when dpkg-buildflags is there; elsewhere the build
# goes on without them.
#
# The optimisation and debug flags in dpkg-buildflags' output are left out:
# the build type sets those. _FORTIFY_SOURCE only works with optimisation, and
# glibc warns without it (an error under TAVRIN_WERROR), so a build without
# optimisation goes without it.

find_program(TAVRIN_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(TAVRIN_DPKG_BUILDFLAGS)
if(NOT TAVRIN_DPKG_BUILDFLAGS)
  message(STATUS "Hardening: no dpkg-buildflags; building without Debian's hardening flags")
  return()
endif()

# dpkg-buildflags <kind> into <var> as a list, without -O and -g.
function(tavrin_dpkg_buildflags kind var)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${TAVRIN_DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^-(O.*|g)$")
  set(${var} ${flags} PARENT_SCOPE)
endfunction()

tavrin_dpkg_buildflags(CPPFLAGS cppflags)
tavrin_dpkg_buildflags(CXXFLAGS cxxflags)
tavrin_dpkg_buildflags(LDFLAGS ldflags)
if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  list(FILTER cppflags EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
endif()
add_compile_options(${cppflags} ${cxxflags})
add_link_options(${ldflags})
message(STATUS "Hardening: ${cppflags} ${cxxflags} ${ldflags}")
