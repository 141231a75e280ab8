# Install rules: the shared library, its public headers, a CMake package config and a pkg-config file,
# so a host writes find_package(melvox) or pkg-config --cflags --libs melvox.
include(CMakePackageConfigHelpers)

install(TARGETS melvox EXPORT melvoxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/melvox DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS melvox_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT melvoxTargets NAMESPACE melvox::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/melvox)

configure_package_config_file(cmake/melvoxConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/melvoxConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/melvox)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/melvoxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/melvoxConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/melvoxConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/melvox)

configure_file(cmake/melvox.pc.in ${CMAKE_CURRENT_BINARY_DIR}/melvox.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/melvox.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
