# Configures and builds the program alone for the end-to-end scenarios, in a build directory of
# its own with the scenarios' values (an initial cache that overrides whatever it held before).
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DINITIAL_CACHE=... -DGENERATOR=... -DBUILD_TYPE=...
#         -DCXX_COMPILER=... [-DCXX_COMPILER_LAUNCHER=...] -P build_program.cmake
foreach(required SOURCE_DIR BUILD_DIR INITIAL_CACHE GENERATOR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "build_program.cmake needs -D${required}=...")
  endif()
endforeach()

set(launcher)
if(CXX_COMPILER_LAUNCHER)
  set(launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${CXX_COMPILER_LAUNCHER})
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -G ${GENERATOR} -C ${INITIAL_CACHE}
          -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${launcher}
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring the scenario build in ${BUILD_DIR} failed")
endif()

# Two jobs: the machine's other tests run beside this build.
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target wristboat --parallel 2
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the program in ${BUILD_DIR} failed")
endif()
