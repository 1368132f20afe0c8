# What `cmake --install BUILD --prefix DIR` puts under DIR:
#   bin/quenfold, bin/quenfold-check         the program, and its checker
#   include/quenfold/quenfold.h              the C API
#   LIBDIR/libquenfold.so.3.2.0 (.so.3, .so) the shared library and its links
#   LIBDIR/libquenfold.a                     the static library
#   LIBDIR/pkgconfig/quenfold.pc             for pkg-config
#   LIBDIR/cmake/quenfold/                   for find_package(quenfold)
#   share/man/man1/quenfold.1.gz, share/man/man1/quenfold-check.1.gz,
#   share/man/man3/quenfold.3.gz
# LIBDIR is lib, or lib/<multiarch triplet> on Debian for the prefix /usr.
# Each rule names the component, and so the Debian package, that carries the
# file (debian.cmake): program, library or dev.
include(CMakePackageConfigHelpers)

# Manual pages and the Debian changelog are installed compressed, with
# neither name nor time stamp in the gzip header so that builds compare equal.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(QUENFOLD_GZIP_DIR ${PROJECT_BINARY_DIR}/gz)
function(quenfold_gzip source name)
  set(copy ${QUENFOLD_GZIP_DIR}/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${GZIP_PROGRAM} -9nf ${copy}
    DEPENDS ${source}
    VERBATIM)
  add_custom_target(gzip_${name} ALL DEPENDS ${copy}.gz)
endfunction()

# A stripped install (cmake --install --strip, and cpack) strips as Debian's
# tools do: the .comment and .note sections go as well, and the static
# library keeps its symbols but loses its debugging information.
function(quenfold_strip component dir name)
  if(IS_ABSOLUTE "${dir}")
    set(path "\$ENV{DESTDIR}${dir}/${name}")
  else()
    set(path "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${dir}/${name}")
  endif()
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" ${ARGN} --remove-section=.comment
                              --remove-section=.note \"${path}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT ${component})
endfunction()

quenfold_gzip(${PROJECT_SOURCE_DIR}/man/quenfold.1 quenfold.1)
quenfold_gzip(${PROJECT_SOURCE_DIR}/man/quenfold.3 quenfold.3)
quenfold_gzip(${PROJECT_SOURCE_DIR}/man/quenfold-check.1 quenfold-check.1)

install(TARGETS quenfold quenfold-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
quenfold_strip(program ${CMAKE_INSTALL_BINDIR} $<TARGET_FILE_NAME:quenfold>)
quenfold_strip(program ${CMAKE_INSTALL_BINDIR} $<TARGET_FILE_NAME:quenfold-check>)
install(FILES ${QUENFOLD_GZIP_DIR}/quenfold.1.gz ${QUENFOLD_GZIP_DIR}/quenfold-check.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

if(TARGET quenfold_shared)
  install(TARGETS quenfold_shared quenfold_engine EXPORT quenfoldTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  quenfold_strip(library ${CMAKE_INSTALL_LIBDIR} $<TARGET_FILE_NAME:quenfold_shared>)
  quenfold_strip(dev ${CMAKE_INSTALL_LIBDIR} $<TARGET_FILE_NAME:quenfold_engine>
                 --strip-debug --enable-deterministic-archives)
  install(FILES ${PROJECT_SOURCE_DIR}/include/quenfold/quenfold.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quenfold COMPONENT dev)
  install(FILES ${QUENFOLD_GZIP_DIR}/quenfold.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
          COMPONENT dev)

  # The CMake package: quenfold::quenfold and quenfold::quenfold_static, for
  # any later version with the same major number.
  set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/quenfold)
  install(EXPORT quenfoldTargets NAMESPACE quenfold:: DESTINATION ${cmake_dir} COMPONENT dev)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/quenfoldConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/quenfoldConfig.cmake
                ${PROJECT_BINARY_DIR}/quenfoldConfigVersion.cmake
          DESTINATION ${cmake_dir} COMPONENT dev)

  # The pkg-config file names absolute directories, so it is written when the
  # install runs: only then is the prefix known (--prefix, or the packages'
  # /usr).
  configure_file(${CMAKE_CURRENT_LIST_DIR}/write-pc.cmake.in
                 ${PROJECT_BINARY_DIR}/write-pc.cmake @ONLY)
  install(SCRIPT ${PROJECT_BINARY_DIR}/write-pc.cmake COMPONENT dev)
  install(FILES ${PROJECT_BINARY_DIR}/quenfold.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()
