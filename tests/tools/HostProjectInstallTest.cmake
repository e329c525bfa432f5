# Installs the build into a scratch prefix, then checks what a host developer
# and a person get from it:
#   - examples/host-project configures with find_package, builds and runs a
#     discovery against the installed plug-in;
#   - the unmodified example, given a simulated Cobalt Medium by FTSIM_DEVICES
#     alone, discovers and opens it and leaves the port's VCD trace at exit; a
#     malformed value is named on stderr and attaches nothing;
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
  set(err "${err}" PARENT_SCOPE)
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

# Runs a host program against the installed libraries; `devices`, when not
# empty, is the FTSIM_DEVICES it is given.
function(run_host program devices)
  set(environment LD_LIBRARY_PATH=${runtime_path})
  if(NOT devices STREQUAL "")
    list(APPEND environment "FTSIM_DEVICES=${devices}")
  endif()
  run(${CMAKE_COMMAND} -E env ${environment} ${program})
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host-project -B ${WORK_DIR}/build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Debug
  "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_host(${WORK_DIR}/build/host-discovery "")
if(NOT out MATCHES "host-project: discovery answered")
  message(FATAL_ERROR "the host project ran no discovery:\n${out}")
endif()
set(package_out "${out}")

set(trace ${WORK_DIR}/host-port.vcd)
run_host(${WORK_DIR}/build/host-discovery "Cobalt Medium,trace=${trace}")
if(NOT out MATCHES "discovery answered 1 name\\(s\\)\n  Vorandel Cobalt Medium\n"
   OR NOT out MATCHES "opened row 0\n19520 counts per revolution")
  message(FATAL_ERROR "the host did not discover and open the table FTSIM_DEVICES named:\n${out}\n${err}")
endif()
if(NOT EXISTS ${trace})
  message(FATAL_ERROR "no port trace was written at exit:\n${err}")
endif()
file(READ ${trace} vcd)
if(NOT vcd MATCHES "var wire 1 . enable .*var wire 1 . step .*enddefinitions.*\n#[1-9][0-9]*\n$")
  message(FATAL_ERROR "the port trace is not the stepper board's history:\n${vcd}")
endif()
string(APPEND package_out "${out}")

run_host(${WORK_DIR}/build/host-discovery "Cobalt Medium,counts=0")
if(NOT out MATCHES "discovery answered 0 name"
   OR NOT err MATCHES "ftsim: FTSIM_DEVICES: table 1 .*counts=0 is outside")
  message(FATAL_ERROR "a malformed FTSIM_DEVICES was not refused by name:\n${out}\n${err}")
endif()

find_program(PKG_CONFIG pkg-config)
find_program(CXX NAMES c++ g++)
if(PKG_CONFIG AND CXX)
  run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
    ${PKG_CONFIG} --cflags --libs vorandel-turntable)
  separate_arguments(pc_flags UNIX_COMMAND "${out}")
  run(${CXX} -std=c++17 ${flags} ${SOURCE_DIR}/examples/host-project/main.cpp ${pc_flags}
    -o ${WORK_DIR}/host-discovery-pc)
  run_host(${WORK_DIR}/host-discovery-pc "")
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
