# The Debian packages, made by `cpack` in the build directory:
#   quenfold          the programs quenfold and quenfold-check, with their
#                     manual pages                               (component program)
#   libquenfold3      the shared library, named after its soname (component library)
#   libquenfold-dev   the header, the static library, the .so link, quenfold.pc,
#                     the CMake package and quenfold(3)          (component dev)
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for packages: the libraries then
# go to the multiarch directory /usr/lib/<triplet>.
# Each package also carries /usr/share/doc/<package>/copyright and
# changelog.gz, which a plain `cmake --install` leaves out.

# The date of this version, for the changelog.
set(QUENFOLD_RELEASE_DATE "Thu, 10 Dec 2026 12:00:00 +0000")

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program library dev)
set(CPACK_PACKAGE_NAME quenfold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the quenfold developers")
set(CPACK_PACKAGE_CONTACT "quenfold maintainers <maintainers@quenfold.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SOURCE quenfold)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(library_about
"libquenfold runs the quenfold text macro processor inside a program. One
call processes a script as the quenfold command line would, with standard
input, output and error in memory or handed over piece by piece through
callbacks. Runs share nothing, so any number may go on at once in
different threads.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME quenfold)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
"command-line text macro processor
quenfold reads script text from files, directories, standard input or a TCP
connection and writes it to standard output with its macro references
expanded. Directives define macros, select lines with conditional blocks,
repeat lines in loops over lists and number sequences, include other inputs
and compute integer expressions. quenfold-check warns about the lines of a
script where the language's rules most likely do something else than was
meant.")

set(library_package libquenfold${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${library_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
"text macro processor library
${library_about}
.
This package contains the shared library.")
# shlibs, symbols (the C API: a new function is added there with the version
# that brings it) and the ldconfig trigger.
file(WRITE ${PROJECT_BINARY_DIR}/debian/shlibs
     "libquenfold ${PROJECT_VERSION_MAJOR} ${library_package} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/debian/shlibs
    ${CMAKE_CURRENT_LIST_DIR}/debian/symbols
    ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libquenfold-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${library_package} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION
"text macro processor library - development files
${library_about}
.
This package contains the header, the static library, the pkg-config file,
the CMake package and the manual page quenfold(3).")

# The Depends of the packages with ELF files come from dpkg-shlibdeps, run on
# the built program and library when cpack starts (debian/depends.cmake).
# CPack's own run of it would also give libquenfold3 maintainer scripts that
# call ldconfig, which the trigger makes needless.
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/debian/cpack-project.cmake CONTENT
"set(QUENFOLD_ELF_program \"$<TARGET_FILE:quenfold>;$<TARGET_FILE:quenfold-check>\")
set(QUENFOLD_ELF_library \"$<$<TARGET_EXISTS:quenfold_shared>:$<TARGET_FILE:quenfold_shared>>\")
set(QUENFOLD_SHLIBDEPS_DIR \"${PROJECT_BINARY_DIR}/debian/shlibdeps\")
include(\"${CMAKE_CURRENT_LIST_DIR}/debian/depends.cmake\")
")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/debian/cpack-project.cmake)

# /usr/share/doc/<package>/: the copyright file, machine-readable, with the
# licence of LICENSE, and the changelog.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "Copyright \\(c\\) ([^\n]*)\n\n(.*)")
  message(FATAL_ERROR "LICENSE: no copyright line followed by the licence text")
endif()
set(QUENFOLD_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" text)
string(REPLACE "\n\n" "\n.\n" text "${text}")
string(REPLACE "\n" "\n " QUENFOLD_LICENSE_TEXT " ${text}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
quenfold_gzip(${PROJECT_BINARY_DIR}/debian/changelog changelog)

foreach(component program library dev)
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${QUENFOLD_GZIP_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
