# zarel_library(FOLDER <folder> [SOURCES ...] [PUBLIC_HEADERS ...] [LINK ...]
#               [TESTS ...] [TESTS_RUN_PROGRAM] [TEST_LINK ...])
#
# Declares the library of one folder of the layer table
# (cmake/ZarelLayers.cmake), linked to the libraries of the folders the table
# says it builds on, and to LINK (outside libraries).
#   zarel/<name>  the static library zarel_<name>, alias zarel::<name>,
#                 exported under that name; PUBLIC_HEADERS are installed
#                 as include/zarel/<name>/..., every other header of the
#                 folder stays in the source tree
#   apps/<name>   the static library app_<name>, part of the zarel program
# With tests enabled, TESTS (the folder's *_test.cpp files) form one
# GoogleTest program <name>_tests, each test registered with CTest under the
# label <name>, linked to the library, TEST_LINK and the test helpers of
# zarel/testing (files.h). With TESTS_RUN_PROGRAM the tests also run the
# built zarel program, as a user's shell does: its path is ZAREL_PROGRAM.
include(${CMAKE_CURRENT_LIST_DIR}/ZarelLayers.cmake)

# The folders a folder builds on directly, from the layer table.
function(zarel_layer_uses folder out)
  foreach(row IN LISTS ZAREL_LAYER_TABLE)
    if(row MATCHES "^([^:]+):(.*)$" AND CMAKE_MATCH_1 STREQUAL folder)
      separate_arguments(uses UNIX_COMMAND "${CMAKE_MATCH_2}")
      set(${out} ${uses} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${folder} is not in the layer table (cmake/ZarelLayers.cmake)")
endfunction()

# The library target of a folder.
function(zarel_folder_target folder out)
  if(folder MATCHES "^zarel/(.+)$")
    set(${out} zarel_${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(folder MATCHES "^apps/(.+)$")
    set(${out} app_${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    message(FATAL_ERROR "${folder} builds no library")
  endif()
endfunction()

function(zarel_library)
  cmake_parse_arguments(L "TESTS_RUN_PROGRAM" "FOLDER" "SOURCES;PUBLIC_HEADERS;LINK;TESTS;TEST_LINK" ${ARGN})
  zarel_folder_target(${L_FOLDER} target)
  get_filename_component(name ${L_FOLDER} NAME)
  zarel_layer_uses(${L_FOLDER} uses)
  set(deps "")
  foreach(use IN LISTS uses)
    zarel_folder_target(${use} dep)
    list(APPEND deps ${dep})
  endforeach()

  add_library(${target} STATIC ${L_SOURCES})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_options(${target} PRIVATE ${ZAREL_WARNING_FLAGS})
  target_link_libraries(${target} PUBLIC ${deps} ${L_LINK})
  if(L_FOLDER MATCHES "^zarel/")
    add_library(zarel::${name} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
    set_property(GLOBAL APPEND PROPERTY ZAREL_LAYER_TARGETS ${target})
    foreach(header IN LISTS L_PUBLIC_HEADERS)
      set_property(GLOBAL APPEND PROPERTY ZAREL_PUBLIC_HEADERS ${L_FOLDER}/${header})
    endforeach()
  endif()

  if(ZAREL_BUILD_TESTS AND L_TESTS)
    add_executable(${name}_tests ${L_TESTS})
    target_compile_options(${name}_tests PRIVATE ${ZAREL_WARNING_FLAGS})
    target_link_libraries(${name}_tests PRIVATE ${target} ${L_TEST_LINK}
      zarel_testing_files GTest::gtest GTest::gtest_main)
    if(L_TESTS_RUN_PROGRAM)
      target_compile_definitions(${name}_tests PRIVATE ZAREL_PROGRAM="$<TARGET_FILE:zarel_cli>")
      add_dependencies(${name}_tests zarel_cli)
    endif()
    gtest_discover_tests(${name}_tests
      DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${name})
  endif()
endfunction()

# zarel_test_helpers(NAME <target> SOURCES ... LINK ...): a library of test
# helpers (zarel/testing, apps/testing), built only with the tests.
function(zarel_test_helpers)
  cmake_parse_arguments(H "" "NAME" "SOURCES;LINK" ${ARGN})
  if(NOT ZAREL_BUILD_TESTS)
    return()
  endif()
  add_library(${H_NAME} STATIC ${H_SOURCES})
  target_compile_options(${H_NAME} PRIVATE ${ZAREL_WARNING_FLAGS})
  target_link_libraries(${H_NAME} PUBLIC ${H_LINK} GTest::gtest)
endfunction()
