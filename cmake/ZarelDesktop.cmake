# The desktop host: the adapter layer zarel/desktop (the host controls over
# Qt 6 Widgets and Qt WebEngine) and the program zarel-desktop, which
# `zarel desktop` runs. Both are built only where Qt 6 with its web engine is
# found; everything else builds without any toolkit.
#
#   ZAREL_DESKTOP=AUTO  build them when Qt 6 is found, say so when it is not
#                       (the default when Zarel is the project being built)
#   ZAREL_DESKTOP=ON    Qt 6 is required (scripts/test)
#   ZAREL_DESKTOP=OFF   never (the default for a host adding Zarel as a
#                       subproject)
# ZAREL_HAVE_DESKTOP then says whether they are built.
if(PROJECT_IS_TOP_LEVEL)
  set(zarel_desktop_default AUTO)
else()
  set(zarel_desktop_default OFF)
endif()
set(ZAREL_DESKTOP ${zarel_desktop_default} CACHE STRING
    "Build the desktop adapter and zarel desktop over Qt 6: AUTO, ON or OFF")
set_property(CACHE ZAREL_DESKTOP PROPERTY STRINGS AUTO ON OFF)

# The Qt modules the adapter links; the installed package asks for the same.
set(ZAREL_DESKTOP_QT_COMPONENTS Widgets WebEngineWidgets PrintSupport)
set(ZAREL_HAVE_DESKTOP OFF)
if(NOT ZAREL_DESKTOP STREQUAL "OFF")
  find_package(Qt6 6.2 QUIET COMPONENTS ${ZAREL_DESKTOP_QT_COMPONENTS})
  if(Qt6_FOUND)
    set(ZAREL_HAVE_DESKTOP ON)
    message(STATUS "Desktop host: Qt ${Qt6_VERSION}")
  elseif(ZAREL_DESKTOP STREQUAL "ON")
    message(FATAL_ERROR "ZAREL_DESKTOP=ON but Qt 6 with Widgets, WebEngineWidgets and "
                        "PrintSupport was not found (on Debian: qt6-base-dev qt6-webengine-dev)")
  else()
    message(STATUS "Desktop host not built: Qt 6 with Widgets, WebEngineWidgets and "
                   "PrintSupport was not found (on Debian: qt6-base-dev qt6-webengine-dev; "
                   "-DZAREL_DESKTOP=OFF leaves it out without this message)")
  endif()
endif()
if(ZAREL_HAVE_DESKTOP AND ZAREL_BUILD_TESTS)
  find_package(Qt6 6.2 REQUIRED COMPONENTS Test)
endif()

# zarel_desktop_tests(NAME <program> LABEL <label> SOURCES ... LINK ...)
#
# A test program of the desktop layer: one QApplication, so one web engine
# start, for the whole program (its main is in zarel/testing), registered as
# a single CTest test.
#
# The normal build runs it on a virtual X server (xvfb-run), the platform
# users get. The sanitizer build runs it on Qt's offscreen platform: under
# Xvfb the X keyboard library trips AddressSanitizer's strict string checks,
# and LeakSanitizer misreads stacks through the uninstrumented X libraries.
# The web engine deletes some of its objects with a size that does not match
# their type (new_delete_type_mismatch=0), and keeps objects of system
# libraries until exit (desktop_lsan.supp).
function(zarel_desktop_tests)
  cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LINK" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_compile_options(${T_NAME} PRIVATE ${ZAREL_WARNING_FLAGS})
  target_link_libraries(${T_NAME} PRIVATE ${T_LINK} zarel_testing_desktop)

  find_program(ZAREL_XVFB_RUN xvfb-run)
  set(environment "")
  if(ZAREL_XVFB_RUN AND NOT ZAREL_SANITIZE)
    add_test(NAME ${T_NAME}
      COMMAND ${ZAREL_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${T_NAME}>)
    # xvfb-run -a takes the first free display number; two started at once
    # may take the same one, so CTest starts them one after the other.
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK zarel_virtual_display)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    list(APPEND environment QT_QPA_PLATFORM=offscreen)
  endif()
  if(ZAREL_SANITIZE)
    list(APPEND environment
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:new_delete_type_mismatch=0"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/desktop_lsan.supp:print_suppressions=0"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS ${T_LABEL}
    ENVIRONMENT "${environment}"
    TIMEOUT 600)
endfunction()
