# Debian's hardening flags, from dpkg-buildflags with every hardening feature
# on: _FORTIFY_SOURCE, the strong stack protector, format checks, and a
# read-only relocation table bound at start-up (-z relro -z now). The package
# is made from this build, so its binaries carry them; the tests run the same
# code. The build type keeps its own optimisation and debug levels.
#
# Left out where they do not fit: with the sanitizers or the fuzzers, whose
# ASan checks the fortified calls would bypass, and in a build that does not
# optimise, where _FORTIFY_SOURCE does nothing but warn in every file.
option(SOLVANE_DEBIAN_FLAGS "Compile and link with dpkg-buildflags' hardening flags" ON)

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
string(TOUPPER "${CMAKE_BUILD_TYPE}" _solvane_build_type)
set(SOLVANE_HARDENED OFF)
if(SOLVANE_DEBIAN_FLAGS AND DPKG_BUILDFLAGS AND NOT SOLVANE_SANITIZE AND NOT SOLVANE_BUILD_FUZZERS
   AND _solvane_build_type MATCHES "^(RELWITHDEBINFO|RELEASE|MINSIZEREL)$")
  set(SOLVANE_HARDENED ON)
  # The project compiles C++ only, so CFLAGS has nothing to apply to.
  foreach(_solvane_var CPPFLAGS CXXFLAGS LDFLAGS)
    # From the source folder: the -ffile-prefix-map it adds then maps the
    # source tree to ".", as a Debian package build does.
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${_solvane_var}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE _solvane_flags OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE _solvane_result)
    if(NOT _solvane_result EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${_solvane_var} failed; configure with -DSOLVANE_DEBIAN_FLAGS=OFF to build without")
    endif()
    separate_arguments(_solvane_flags UNIX_COMMAND "${_solvane_flags}")
    list(FILTER _solvane_flags EXCLUDE REGEX "^-(O.*|g)$")
    set(SOLVANE_DEB_${_solvane_var} ${_solvane_flags})
  endforeach()
  add_compile_options(${SOLVANE_DEB_CPPFLAGS} ${SOLVANE_DEB_CXXFLAGS})
  add_link_options(${SOLVANE_DEB_LDFLAGS})
  set(_solvane_all ${SOLVANE_DEB_CPPFLAGS} ${SOLVANE_DEB_CXXFLAGS} ${SOLVANE_DEB_LDFLAGS})
  list(JOIN _solvane_all " " _solvane_shown)
  message(STATUS "Debian hardening flags: ${_solvane_shown}")
else()
  message(STATUS "Debian hardening flags: not used in this build")
endif()
