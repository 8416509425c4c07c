# The simulators compute in 32-bit floats in the written order, so that the same inputs give
# byte-identical result files on every machine: no fused multiply-add, no fast-math reassociation.
add_library(orvalis_canonical_fp INTERFACE)
if(MSVC)
  target_compile_options(orvalis_canonical_fp INTERFACE /fp:precise /fp:contract-)
else()
  target_compile_options(orvalis_canonical_fp INTERFACE -ffp-contract=off -fno-fast-math)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    # 32-bit x86 would otherwise evaluate floats in 80-bit x87 registers.
    target_compile_options(orvalis_canonical_fp INTERFACE -msse2 -mfpmath=sse)
  endif()
endif()
