# Runs the instrumented tool on the models whose profile optimises the build:
# the examples (small stateful protocols), the SKEME key exchange in
# Horn-clause form, and the start of the key-wrapping model (wide rules).
# Usage: cmake -DVORN=path/to/vorn -DPROFILE=dir -DSOURCE=source-root -P pgo_train.cmake
# A profile of older sources would not match the new ones: it is removed first.
file(REMOVE_RECURSE ${PROFILE})
file(GLOB models ${SOURCE}/examples/*.vorn)
list(APPEND models ${SOURCE}/bench/large/skeme.vorn)
foreach(model IN LISTS models)
  # The exit status tells the verdict; any run is a run worth profiling.
  execute_process(COMMAND ${VORN} -q ${model} OUTPUT_QUIET ERROR_QUIET)
endforeach()
execute_process(COMMAND ${VORN} -q --max-rules 60 ${SOURCE}/bench/large/key_wrapping.vorn OUTPUT_QUIET ERROR_QUIET)
file(GLOB written ${PROFILE}/*.gcda)
list(LENGTH written count)
if(count EQUAL 0)
  message(FATAL_ERROR "the training runs wrote no profile to ${PROFILE}")
endif()
message(STATUS "vorn: profile of ${count} objects written to ${PROFILE}")
