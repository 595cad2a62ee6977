# Builds the module a second time, in a fresh build tree of another name, and
# fails unless the result is byte for byte the module already built.
#   cmake -DSOURCE=<tree> -DTOOLCHAIN=<file> -DFIRST=<built module> -DWORK=<dir> -P CheckReproducible.cmake
file(REMOVE_RECURSE "${WORK}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${SOURCE}" -B "${WORK}" -G Ninja -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
          -DCMAKE_BUILD_TYPE=Release -DTESMORA_TESTS=OFF
  OUTPUT_QUIET RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the second build failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK}" --target tesmora OUTPUT_QUIET RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the second build failed")
endif()
get_filename_component(name "${FIRST}" NAME)
file(SHA256 "${FIRST}" first)
file(SHA256 "${WORK}/${name}" second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two builds of ${name} differ: ${first} and ${second}")
endif()
message(STATUS "two builds of ${name} are identical: ${first}")
file(REMOVE_RECURSE "${WORK}")
