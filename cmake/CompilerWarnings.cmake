# One INTERFACE target carries the warning set; every target links it PRIVATE.
# -Wdouble-promotion matters here: a silent promotion to double breaks the simulators' 32-bit arithmetic.
add_library(orvalis_warnings INTERFACE)
if(MSVC)
  target_compile_options(orvalis_warnings INTERFACE /W4 /permissive-)
else()
  target_compile_options(orvalis_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wdouble-promotion)
  # GCC 12 reports a false overlap in libstdc++'s string concatenation at -O3 (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(orvalis_warnings INTERFACE -Wno-restrict)
  endif()
endif()
if(ORVALIS_WARNINGS_AS_ERRORS)
  target_compile_options(orvalis_warnings INTERFACE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()
