# A simulator: the library of its own texts, geometry and files over the shared engine, which its
# tests link, and the thin program over it.
function(orvalis_add_simulator program library)
  add_library(${library} STATIC ${ARGN})
  target_include_directories(${library} PUBLIC include)
  target_link_libraries(${library} PUBLIC engine PRIVATE orvalis_warnings)
  add_executable(${program} src/main.cpp)
  target_link_libraries(${program} PRIVATE ${library} program_info orvalis_warnings)
endfunction()
