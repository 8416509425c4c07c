cmake_minimum_required(VERSION 3.22)
# Checks the layers on CMake's own dependency graph: no target of GUARDED may depend on a target of
# TRANSPORT, directly or through another target, and every target of USERS must (else the graph was
# not read, and the check would pass on nothing). The graph is written by a configure of the source
# tree with the build's options in WORK_DIR, so that the build folder itself is left alone.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... "-DOPTIONS=-Dx=y;..." "-DTRANSPORT=engine"
#         "-DUSERS=Tolvane" -P LayerCheck.cmake
# The guarded targets are those that configure lists in layer-guarded.txt, and any given as
# -DGUARDED=a;b. With -DGRAPH_DIR=<folder of deps.dot> the graph written by
# `cmake --graphviz=deps.dot` there is read instead (with that folder's layer-guarded.txt when it
# has one), and nothing is configured.
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
  set(guardedList "${WORK_DIR}/tree/layer-guarded.txt")
  if(NOT EXISTS "${guardedList}")
    message(FATAL_ERROR "The configure wrote no ${guardedList}")
  endif()
else()
  set(guardedList "${GRAPH_DIR}/layer-guarded.txt")
endif()
if(EXISTS "${guardedList}")
  file(READ "${guardedList}" listed)
  list(APPEND GUARDED ${listed})
endif()

# The whole graph: every edge "a -> b" of deps.dot, a depending on b (PUBLIC, PRIVATE or through
# an interface library alike). The per-target files deps.dot.<target> are not used: CMake leaves
# out of them the dependencies of a target it reached before.
if(NOT EXISTS "${GRAPH_DIR}/deps.dot")
  message(FATAL_ERROR "No dependency graph ${GRAPH_DIR}/deps.dot")
endif()
file(STRINGS "${GRAPH_DIR}/deps.dot" edges REGEX "// .+ -> .+$")
set(allTargets "")
foreach(edge IN LISTS edges)
  string(REGEX MATCH "// (.+) -> (.+)$" ignored "${edge}")
  string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}" from)
  list(APPEND dependencies_${from} "${CMAKE_MATCH_2}")
  list(APPEND allTargets "${CMAKE_MATCH_1}")
endforeach()
file(STRINGS "${GRAPH_DIR}/deps.dot" labels REGEX "label = \"[^\"]+\"")
foreach(line IN LISTS labels)
  string(REGEX MATCH "label = \"([^\"]+)\"" ignored "${line}")
  list(APPEND allTargets "${CMAKE_MATCH_1}")
endforeach()

# The chain of targets by which `target` reaches `transport` ("a -> b -> engine"), empty when it
# does not. A target missing from the graph is reported: a renamed target must be renamed in the
# lists as well.
function(transport_chain target transport outVariable)
  if(NOT target IN_LIST allTargets)
    message(FATAL_ERROR "The target ${target} is not in the graph ${GRAPH_DIR}/deps.dot: is it still called so?")
  endif()
  set(queue "${target}")
  set(seen "${target}")
  while(queue)
    list(POP_FRONT queue node)
    string(MAKE_C_IDENTIFIER "${node}" nodeId)
    foreach(next IN LISTS dependencies_${nodeId})
      if(NOT next IN_LIST seen)
        list(APPEND seen "${next}")
        list(APPEND queue "${next}")
        string(MAKE_C_IDENTIFIER "${next}" nextId)
        set(parent_${nextId} "${node}")
      endif()
    endforeach()
  endwhile()
  set(chain "")
  if(transport IN_LIST seen)
    set(chain "${transport}")
    set(node "${transport}")
    while(NOT node STREQUAL target)
      string(MAKE_C_IDENTIFIER "${node}" nodeId)
      set(node "${parent_${nodeId}}")
      set(chain "${node} -> ${chain}")
    endwhile()
  endif()
  set(${outVariable} "${chain}" PARENT_SCOPE)
endfunction()

set(faults "")
foreach(target IN LISTS GUARDED)
  foreach(transport IN LISTS TRANSPORT)
    transport_chain("${target}" "${transport}" chain)
    if(chain)
      string(APPEND faults "\n  ${target} depends on the transport library ${transport}: ${chain}")
    endif()
  endforeach()
endforeach()
foreach(target IN LISTS USERS)
  set(reaches FALSE)
  foreach(transport IN LISTS TRANSPORT)
    transport_chain("${target}" "${transport}" chain)
    if(chain)
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
