# -DORVALIS_SANITIZE=ON builds every target with AddressSanitizer and UndefinedBehaviorSanitizer
# (GCC's runtimes, libasan8 and libubsan1, come with g++ on Debian). Undefined behaviour stops the
# program at its first report, so that a campaign or a test cannot pass over one. The flags ride
# on orvalis_warnings, which every target links.
option(ORVALIS_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)
add_library(orvalis_sanitizers INTERFACE)
if(ORVALIS_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "ORVALIS_SANITIZE needs GCC or Clang")
  endif()
  target_compile_options(orvalis_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(orvalis_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
target_link_libraries(orvalis_warnings INTERFACE orvalis_sanitizers)
