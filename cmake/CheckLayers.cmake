# The layer check (CTest test layer_includes):
#   cmake -DSOURCE_DIR=<tree> -DPUBLIC_HEADERS_FILE=<list> -P CheckLayers.cmake
#
# Reads every #include "zarel/..." and #include "apps/..." of the tree's
# sources, headers, tests, programs and benchmarks, and fails naming each
# one that breaks a rule:
#   - the included file exists in the tree;
#   - a file includes only its own folder and the folders beneath it in the
#     layer table (cmake/ZarelLayers.cmake);
#   - test helpers (a testing folder) are included only by tests
#     (*_test.cpp) and other helpers, and what a test reaches through a
#     helper must be allowed to the test's own folder;
#   - a public header includes only public headers, and a program built
#     against the installed package (tests/package) only public headers, so
#     the installed headers are complete.
cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/ZarelLayers.cmake)

file(STRINGS ${PUBLIC_HEADERS_FILE} public_headers)

# The table: folders and, per folder, everything it may include.
set(folders "")
foreach(row IN LISTS ZAREL_LAYER_TABLE)
  string(REGEX MATCH "^([^:]+):(.*)$" _ "${row}")
  set(folder ${CMAKE_MATCH_1})
  separate_arguments(uses_${folder} UNIX_COMMAND "${CMAKE_MATCH_2}")
  list(APPEND folders ${folder})
endforeach()
foreach(folder IN LISTS folders)
  set(reach ${folder})
  set(todo ${uses_${folder}})
  while(todo)
    list(POP_FRONT todo next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND todo ${uses_${next}})
    endif()
  endwhile()
  set(allowed_${folder} ${reach})
endforeach()
# The helpers may reach what they help test.
set(allowed_zarel/testing ${allowed_zarel/desktop} zarel/testing)
set(allowed_apps/testing ${allowed_apps/zarel} zarel/testing apps/testing)
list(APPEND folders zarel/testing apps/testing)

# The folder of the table that holds a file (the longest that matches).
function(folder_of file out)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" length)
    string(SUBSTRING "${file}" 0 ${length} head)
    string(LENGTH "${best}" best_length)
    if(head STREQUAL folder AND length GREATER best_length)
      string(SUBSTRING "${file}" ${length} 1 slash)
      if(slash STREQUAL "/")
        set(best ${folder})
      endif()
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The project's own includes of a file.
function(includes_of file out)
  file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(zarel|apps)/")
  set(found "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
    list(APPEND found ${CMAKE_MATCH_1})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/zarel/*.h ${SOURCE_DIR}/zarel/*.cpp
  ${SOURCE_DIR}/apps/*.h ${SOURCE_DIR}/apps/*.cpp
  ${SOURCE_DIR}/benchmarks/*.h ${SOURCE_DIR}/benchmarks/*.cpp
  ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp)
list(FILTER files EXCLUDE REGEX "/node_modules/")

set(faults "")
set(count 0)
foreach(file IN LISTS files)
  folder_of(${file} folder)
  if(folder STREQUAL "")
    list(APPEND faults "${file}: its folder is not in the layer table (cmake/ZarelLayers.cmake)")
    continue()
  endif()
  set(is_test FALSE)
  if(file MATCHES "_test\\.cpp$" OR folder MATCHES "/testing$")
    set(is_test TRUE)
  endif()
  set(is_public FALSE)
  if(file IN_LIST public_headers OR folder STREQUAL "tests/package")
    set(is_public TRUE)
  endif()

  # Every include of the file, and every include reached through helpers.
  includes_of(${file} todo)
  set(seen "")
  while(todo)
    list(POP_FRONT todo include)
    if(include IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${include})
    math(EXPR count "${count} + 1")
    if(NOT EXISTS ${SOURCE_DIR}/${include})
      list(APPEND faults "${file}: includes ${include}, which is not in the tree")
      continue()
    endif()
    folder_of(${include} target)
    if(target MATCHES "/testing$")
      if(NOT is_test)
        list(APPEND faults "${file}: includes the test helper ${include}; only tests may")
      elseif(NOT folder MATCHES "/testing$")
        # What the helper includes counts as the test's own includes.
        includes_of(${include} more)
        list(APPEND todo ${more})
      endif()
    elseif(NOT target IN_LIST allowed_${folder})
      list(APPEND faults "${file}: includes ${include}, but ${folder} does not build on ${target}")
    elseif(is_public AND NOT include IN_LIST public_headers)
      list(APPEND faults "${file}: a public header or host includes ${include}, which is not public")
    endif()
  endwhile()
endforeach()

list(LENGTH files file_count)
if(faults)
  list(LENGTH faults fault_count)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "layer check: ${fault_count} include(s) break the layer table:\n  ${text}")
endif()
message(STATUS "layer check: ${file_count} files, ${count} includes, all allowed by the layer table")
