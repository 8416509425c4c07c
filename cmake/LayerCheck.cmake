cmake_minimum_required(VERSION 3.22)
# Checks the layers on CMake's own dependency graph: no target of GUARDED may depend on a target of
# TRANSPORT, directly or through another target, and every target of USERS must (else the graph was
# not read, and the check would pass on nothing). The graph is written by a configure of the source
# tree with the build's options in WORK_DIR, so that the build folder itself is left alone.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... "-DOPTIONS=-Dx=y;..." "-DGUARDED=a;b"
#         "-DTRANSPORT=engine" "-DUSERS=Tolvane" -P LayerCheck.cmake
# With -DGRAPH_DIR=<folder of deps.dot> the graph written by `cmake --graphviz=deps.dot` is read
# instead, and nothing is configured.
if(NOT GRAPH_DIR)
  file(REMOVE_RECURSE "${WORK_DIR}")
  set(GRAPH_DIR "${WORK_DIR}/graph")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/tree" -G "${GENERATOR}" ${OPTIONS}
            "--graphviz=${GRAPH_DIR}/deps.dot"
    RESULT_VARIABLE configureFailed OUTPUT_QUIET ERROR_VARIABLE configureErrors)
  if(configureFailed)
    message(FATAL_ERROR "The configure for the dependency graph failed:\n${configureErrors}")
  endif()
endif()

# The targets that `target` depends on: the labels of its own graph file, which CMake writes
# with every dependency, direct or not. A target without a file is reported: a renamed target
# must be renamed in the lists as well.
function(dependencies_of target outVariable)
  set(graph "${GRAPH_DIR}/deps.dot.${target}")
  if(NOT EXISTS "${graph}")
    message(FATAL_ERROR "No dependency graph of the target ${target} in ${GRAPH_DIR}: is it still called so?")
  endif()
  file(STRINGS "${graph}" labels REGEX "label = \"[^\"]+\"")
  set(found "")
  foreach(line IN LISTS labels)
    string(REGEX MATCH "label = \"([^\"]+)\"" ignored "${line}")
    if(NOT CMAKE_MATCH_1 STREQUAL target)
      list(APPEND found "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${outVariable} "${found}" PARENT_SCOPE)
  # The edges into the transport, which say through which target it is reached.
  file(STRINGS "${graph}" edges REGEX "// .* -> .*")
  set(${outVariable}_edges "${edges}" PARENT_SCOPE)
endfunction()

set(faults "")
foreach(target IN LISTS GUARDED)
  dependencies_of(${target} dependencies)
  foreach(transport IN LISTS TRANSPORT)
    if(transport IN_LIST dependencies)
      set(path "")
      foreach(edge IN LISTS dependencies_edges)
        if(edge MATCHES "-> ${transport}$")
          string(REGEX REPLACE ".*// " "" edge "${edge}")
          string(APPEND path "\n      ${edge}")
        endif()
      endforeach()
      string(APPEND faults "\n  ${target} depends on the transport library ${transport}:${path}")
    endif()
  endforeach()
endforeach()
foreach(target IN LISTS USERS)
  dependencies_of(${target} dependencies)
  set(reaches FALSE)
  foreach(transport IN LISTS TRANSPORT)
    if(transport IN_LIST dependencies)
      set(reaches TRUE)
    endif()
  endforeach()
  if(NOT reaches)
    string(APPEND faults "\n  ${target} runs the transport, but the graph shows no dependency on ${TRANSPORT}")
  endif()
endforeach()
if(faults)
  message(FATAL_ERROR "The layers are broken:${faults}")
endif()
list(LENGTH GUARDED guardedCount)
message(STATUS "${guardedCount} targets clear of the transport (${TRANSPORT}); checked in ${GRAPH_DIR}")
