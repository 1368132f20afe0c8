# Read by cpack before it makes the packages: sets the Depends of quenfold
# and libquenfold3 to what dpkg-shlibdeps finds the built program and library
# need. QUENFOLD_ELF_<component> list the files, QUENFOLD_SHLIBDEPS_DIR a
# directory to run in.
find_program(QUENFOLD_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT QUENFOLD_DPKG_SHLIBDEPS)
  message(FATAL_ERROR "The Debian packages need dpkg-shlibdeps (package dpkg-dev).")
endif()
# dpkg-shlibdeps wants to run beside a debian/control.
file(MAKE_DIRECTORY "${QUENFOLD_SHLIBDEPS_DIR}/debian")
file(TOUCH "${QUENFOLD_SHLIBDEPS_DIR}/debian/control")
foreach(component program library)
  set(file "${QUENFOLD_ELF_${component}}")
  if(NOT file)
    message(FATAL_ERROR "This build has no ${component} to package.")
  endif()
  execute_process(COMMAND ${QUENFOLD_DPKG_SHLIBDEPS} -O ${file}
    WORKING_DIRECTORY "${QUENFOLD_SHLIBDEPS_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out MATCHES "^shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${file}:\n${err}")
  endif()
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endforeach()
