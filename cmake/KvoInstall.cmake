# Install rules: public headers, the host SDK libraries (the internal libraries are never installed), a CMake package (find_package(kvo) gives
# kvo::host and kvo::host_static) and the pkg-config file kvohost.pc.
include(CMakePackageConfigHelpers)

install(TARGETS kvo_host kvo_host_static
  EXPORT kvoTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kvo)

set(KVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kvo)
install(EXPORT kvoTargets NAMESPACE kvo:: DESTINATION ${KVO_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kvoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kvoConfig.cmake INSTALL_DESTINATION ${KVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kvoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kvoConfig.cmake ${PROJECT_BINARY_DIR}/kvoConfigVersion.cmake
  DESTINATION ${KVO_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/kvohost.pc.in ${PROJECT_BINARY_DIR}/kvohost.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kvohost.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
