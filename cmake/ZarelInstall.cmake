# Installs the libraries, their headers and an exported CMake package, so a
# host project can write find_package(Zarel) and link zarel::zarel.
include(CMakePackageConfigHelpers)

get_property(zarel_layer_targets GLOBAL PROPERTY ZAREL_LAYER_TARGETS)
install(TARGETS zarel ${zarel_layer_targets}
  EXPORT ZarelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(layer platform data components engine control)
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${layer}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zarel/${layer}
    FILES_MATCHING PATTERN "*.h"
    PATTERN "*test_support.h" EXCLUDE)
endforeach()
install(EXPORT ZarelTargets
  NAMESPACE zarel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zarel)
configure_package_config_file(cmake/ZarelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZarelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zarel)
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/ZarelConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/ZarelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ZarelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zarel)
