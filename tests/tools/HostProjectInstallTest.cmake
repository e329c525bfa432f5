# Installs the build into a scratch prefix, then checks what a host developer
# and a person get from it:
#   - examples/host-project configures with find_package, builds and runs a
#     discovery against the installed plug-in;
#   - the same source builds with the pkg-config file alone;
#   - the installed turntablectl finds the installed plug-in and, with no
#     vendor library around, the bundled simulator.
# Arguments: BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR SANITIZE.

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file
    include/VorandelTurntable/HxVorandelTurntableControl.h
    include/VorandelTurntable/HxTurntableHardwarePrivate.h
    lib/libVorandelTurntable.so.1
    lib/cmake/VorandelTurntable/VorandelTurntableConfig.cmake
    lib/pkgconfig/vorandel-turntable.pc
    lib/vorandel-turntable/libftd2xx.so
    bin/turntablectl)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# A sanitized plug-in needs the same runtime in the host program.
set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
set(runtime_path "${prefix}/lib:${prefix}/lib/vorandel-turntable")

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host-project -B ${WORK_DIR}/build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Debug
  "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${runtime_path} ${WORK_DIR}/build/host-discovery)
if(NOT out MATCHES "host-project: discovery answered")
  message(FATAL_ERROR "the host project ran no discovery:\n${out}")
endif()
set(package_out "${out}")

find_program(PKG_CONFIG pkg-config)
find_program(CXX NAMES c++ g++)
if(PKG_CONFIG AND CXX)
  run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
    ${PKG_CONFIG} --cflags --libs vorandel-turntable)
  separate_arguments(pc_flags UNIX_COMMAND "${out}")
  run(${CXX} -std=c++17 ${flags} ${SOURCE_DIR}/examples/host-project/main.cpp ${pc_flags}
    -o ${WORK_DIR}/host-discovery-pc)
  run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${runtime_path} ${WORK_DIR}/host-discovery-pc)
  if(NOT out MATCHES "host-project: discovery answered")
    message(FATAL_ERROR "the pkg-config build ran no discovery:\n${out}")
  endif()
endif()

# No LD_LIBRARY_PATH: the installed turntablectl finds everything itself.
run(${prefix}/bin/turntablectl info --json)
if(NOT out MATCHES "\"backend\": \"simulator\"" OR NOT out MATCHES "${prefix}/lib/libVorandelTurntable")
  message(FATAL_ERROR "installed turntablectl did not use the installed plug-in:\n${out}")
endif()

message("${package_out}")
