# Release artifacts, all named and versioned from the one project version (make dist):
#   Linux:   CPack's Debian package and tarball of everything installed (cpack in the build folder);
#   Windows: target kvo-dist-zip, the module folder (stripped deadband.dll, its .lng and .chm), kvo-host.exe
#            and a read-me, laid out as installed so kvo-host finds the module beside itself.
set(KVO_DIST_DIR "${PROJECT_BINARY_DIR}/dist" CACHE PATH "Folder the release artifacts are written to")

if(WIN32)
  if(NOT KVO_HELP_FILE)
    # The zip without its help file is no release: say so here, not when the zip is made.
    message(STATUS "kvo-dist-zip is not offered: the help file is not built (KVO_BUILD_HELP)")
    return()
  endif()
  if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "kvo-dist-zip needs the toolchain's strip (CMAKE_STRIP)")
  endif()
  set(_name "kvo-${PROJECT_VERSION}-win32")
  set(_stage "${PROJECT_BINARY_DIR}/dist-stage")
  set(_root "${_stage}/${_name}")
  set(_zip "${KVO_DIST_DIR}/${_name}.zip")
  configure_file(${PROJECT_SOURCE_DIR}/docs/dist/README-win32.txt.in ${PROJECT_BINARY_DIR}/README-win32.txt
                 @ONLY NEWLINE_STYLE CRLF)
  # The build's files carry their debug sections; the zip's are stripped copies.
  add_custom_command(OUTPUT ${_zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_root}/bin ${_root}/lib/kvo ${KVO_DIST_DIR}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${_root}/lib/kvo/deadband.dll $<TARGET_FILE:deadband_module>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${_root}/bin/kvo-host.exe $<TARGET_FILE:kvo-host>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/src/deadband/deadband.lng ${KVO_HELP_FILE}
            ${_root}/lib/kvo/
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/README-win32.txt ${_root}/README.txt
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_zip}
    COMMAND ${CMAKE_COMMAND} -E chdir ${_stage} ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip ${_name}
    DEPENDS deadband_module kvo-host deadband_help ${PROJECT_SOURCE_DIR}/src/deadband/deadband.lng
            ${PROJECT_BINARY_DIR}/README-win32.txt
    COMMENT "Making ${_name}.zip"
    VERBATIM)
  add_custom_target(kvo-dist-zip DEPENDS ${_zip})
  return()
endif()

# Linux: one package with the module, the SDK and kvo-host, as cmake --install lays them out.
set(CPACK_PACKAGE_NAME kvo)
set(CPACK_PACKAGE_VENDOR kvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME "kvo-${PROJECT_VERSION}-Linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_OUTPUT_FILE_PREFIX "${KVO_DIST_DIR}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "kvo developers <kvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION "The deadband filter module (lib/kvo/deadband.so with its language and help
files), the reference host kvo-host, and the host SDK: C headers, libkvohost (shared and static),
pkg-config and CMake package files.")
# Depends comes from the libraries the packaged files link against; a help viewer is optional.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm")
include(CPack)
