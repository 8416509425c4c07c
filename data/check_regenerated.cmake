# Regenerates the scattering table with the build's make-eldat and requires the committed
# ELDAT.dat to be byte for byte what the tool writes now.
# Called with -DGENERATOR=<make-eldat> -DCOMMITTED=<data/ELDAT.dat> -DOUTPUT=<scratch file>.
execute_process(COMMAND "${GENERATOR}" "${OUTPUT}" RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make-eldat failed with status ${status}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${COMMITTED}" "${OUTPUT}" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} differs from what make-eldat writes (${OUTPUT}); regenerate it with make-eldat")
endif()
