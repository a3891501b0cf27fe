# Installs what a host needs to embed the control and use the DAL: the
# libraries, the public headers (include/zarel/<layer>/..., the same paths
# the tree includes them by), an exported CMake package (find_package(Zarel)
# gives zarel::zarel and zarel::base, zarel::db, ...) and a pkg-config file
# (zarel.pc) for hosts built without CMake. Headers not listed as public stay
# in the source tree.
#
# The desktop layer, where it is built, is the package's optional component
# "desktop" (find_package(Zarel COMPONENTS desktop) gives zarel::desktop),
# exported on its own so that a host that does not ask for it needs no
# toolkit.
include(CMakePackageConfigHelpers)

get_property(zarel_layer_targets GLOBAL PROPERTY ZAREL_LAYER_TARGETS)
list(REMOVE_ITEM zarel_layer_targets zarel_desktop)
install(TARGETS zarel ${zarel_layer_targets}
  EXPORT ZarelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(ZAREL_HAVE_DESKTOP)
  install(TARGETS zarel_desktop
    EXPORT ZarelDesktopTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT ZarelDesktopTargets
    NAMESPACE zarel::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zarel)
endif()
foreach(header IN LISTS ZAREL_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder})
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

# zarel.pc: the libraries from the top layer down, as a static link needs
# them, and the database client libraries they use.
set(ZAREL_PC_LIBS "")
foreach(layer control engine components data hostkit db base)
  string(APPEND ZAREL_PC_LIBS " -lzarel_${layer}")
endforeach()
# The prefix is found from the file's own place, so the package may be moved
# or installed with --prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(ZAREL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH up "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
  set(ZAREL_PC_PREFIX "\${pcfiledir}/${up}")
endif()
configure_file(cmake/zarel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zarel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zarel.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
