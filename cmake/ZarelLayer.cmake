# zarel_layer(NAME <name> SOURCES ... [DEPS ...] [TESTS ...] [TEST_DEPS ...])
#
# Declares one layer of the component as the static library zarel_<name>,
# linked to the layers it builds on (DEPS), and, when tests are enabled, one
# GoogleTest program <name>_tests made of the layer's *_test.cpp files
# (TESTS), each test registered with CTest. Every test program links the
# shared test helpers of zarel_test_support (platform/test_support.h).
function(zarel_layer)
  cmake_parse_arguments(L "" "NAME" "SOURCES;DEPS;TESTS;TEST_DEPS" ${ARGN})
  set(target zarel_${L_NAME})
  add_library(${target} STATIC ${L_SOURCES})
  add_library(zarel::${L_NAME} ALIAS ${target})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${ZAREL_INCLUDE_ROOT}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zarel>)
  target_compile_options(${target} PRIVATE ${ZAREL_WARNING_FLAGS})
  target_link_libraries(${target} PUBLIC ${L_DEPS})
  set_property(GLOBAL APPEND PROPERTY ZAREL_LAYER_TARGETS ${target})
  if(ZAREL_BUILD_TESTS AND L_TESTS)
    add_executable(${L_NAME}_tests ${L_TESTS})
    target_compile_options(${L_NAME}_tests PRIVATE ${ZAREL_WARNING_FLAGS})
    target_link_libraries(${L_NAME}_tests PRIVATE ${target} ${L_TEST_DEPS}
      zarel_test_support GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${L_NAME}_tests
      DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${L_NAME})
  endif()
endfunction()
