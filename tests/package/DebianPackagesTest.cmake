# The Debian packages as a user meets them, checked without touching this
# machine's system: nothing is installed, the packages are unpacked with
# `dpkg -x` into scratch roots under WORK_DIR.
#
# CASE is one of:
#   Build                 cpack builds both packages into WORK_DIR/out
#   FieldsAndContents     control fields (version, Depends from the binaries)
#                         and which package carries which file
#   Lintian               lintian finds no error in either package
#   MaintainerScripts     postinst and postrm reload udev's rules only where
#                         udev runs, and succeed where it does not
#   UnpackedTurntablectlFindsSimulatedTable
#                         the unpacked turntablectl finds its plug-in, the
#                         simulator and the libftdi1 backend beside itself
#   HostProjectBuildsAgainstDevelopmentPackage
#                         examples/host-project builds against the unpacked
#                         development package (CMake and pkg-config) and
#                         opens the table FTSIM_DEVICES names
# Arguments: CASE BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR VERSION
#            PRIVATE_LIBDIR LIBDIR.

cmake_minimum_required(VERSION 3.25)

set(runtime_package vorandel-turntable)
set(development_package vorandel-turntable-dev)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# Like run(), for a command whose exit status is part of what is checked.
function(run_any)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(rc "${rc}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(dpkg --print-architecture)
string(STRIP "${out}" arch)
set(runtime_deb ${WORK_DIR}/out/${runtime_package}_${VERSION}_${arch}.deb)
set(development_deb ${WORK_DIR}/out/${development_package}_${VERSION}_${arch}.deb)

if(NOT CASE STREQUAL "Build")
  foreach(deb ${runtime_deb} ${development_deb})
    if(NOT EXISTS ${deb})
      message(FATAL_ERROR "no package ${deb}: debian_package.Build failed or did not run")
    endif()
  endforeach()
endif()

# The paths a package installs, one list entry each, without the leading "."
# and without directories; a symbolic link as "path -> target".
function(package_files deb result)
  run(dpkg-deb --contents ${deb})
  string(REPLACE "\n" ";" lines "${out}")
  set(files "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[-l][rwxsStT-]+ root/root +[0-9]+ [0-9-]+ [0-9:]+ \\.(/.*[^/])$")
      list(APPEND files "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[-l]")
      message(FATAL_ERROR "${deb}: a file not owned by root/root or of an unexpected form: ${line}")
    endif()
  endforeach()
  set(${result} "${files}" PARENT_SCOPE)
endfunction()

function(expect_files deb files)
  foreach(path IN LISTS ARGN)
    if(NOT path IN_LIST files)
      string(REPLACE ";" "\n" listing "${files}")
      message(FATAL_ERROR "${deb} does not carry ${path}; it carries:\n${listing}")
    endif()
  endforeach()
endfunction()

function(expect_field deb field pattern)
  run(dpkg-deb --field ${deb} ${field})
  string(STRIP "${out}" value)
  if(NOT value MATCHES "${pattern}")
    message(FATAL_ERROR "${deb}: ${field} is '${value}', expected to match '${pattern}'")
  endif()
endfunction()

function(unpack root)
  file(REMOVE_RECURSE ${root})
  foreach(deb IN LISTS ARGN)
    run(dpkg-deb --extract ${deb} ${root})
  endforeach()
endfunction()

# The libraries the dynamic loader initialised, by their real paths, as
# LD_DEBUG=libs names them.
function(loaded_libraries loader_log result)
  string(REGEX MATCHALL "calling init: [^\n]+" lines "${loader_log}")
  set(paths "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^calling init: " "" path "${line}")
    file(REAL_PATH "${path}" path)
    list(APPEND paths "${path}")
  endforeach()
  set(${result} "${paths}" PARENT_SCOPE)
endfunction()

# Fails unless every library named after the log was loaded, and unless no
# library came from the build tree (outside the scratch roots).
function(expect_loaded loader_log)
  loaded_libraries("${loader_log}" loaded)
  foreach(path IN LISTS ARGN)
    file(REAL_PATH "${path}" path)
    if(NOT path IN_LIST loaded)
      string(REPLACE ";" "\n" listing "${loaded}")
      message(FATAL_ERROR "${path} was not loaded; the loader loaded:\n${listing}")
    endif()
  endforeach()
  foreach(path IN LISTS loaded)
    string(FIND "${path}" "${BUILD_DIR}/" in_build_tree)
    string(FIND "${path}" "${WORK_DIR}/" in_scratch)
    if(in_build_tree EQUAL 0 AND NOT in_scratch EQUAL 0)
      message(FATAL_ERROR "a library came from the build tree, not the package: ${path}")
    endif()
  endforeach()
endfunction()

set(libdir /usr/${LIBDIR})
set(private_libdir /usr/${PRIVATE_LIBDIR})

if(CASE STREQUAL "Build")
  file(REMOVE_RECURSE ${WORK_DIR})
  run(${CMAKE_CPACK_COMMAND} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/out)
  file(GLOB debs ${WORK_DIR}/out/*.deb)
  list(SORT debs)
  set(expected ${runtime_deb} ${development_deb})
  list(SORT expected)
  if(NOT debs STREQUAL expected)
    message(FATAL_ERROR "cpack made '${debs}', expected '${expected}'\n${out}\n${err}")
  endif()

elseif(CASE STREQUAL "FieldsAndContents")
  string(REPLACE "." "\\." version_pattern "${VERSION}")
  foreach(deb ${runtime_deb} ${development_deb})
    expect_field(${deb} Version "^${version_pattern}$")
    expect_field(${deb} Architecture "^${arch}$")
    expect_field(${deb} Maintainer "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
  endforeach()
  expect_field(${runtime_deb} Package "^${runtime_package}$")
  expect_field(${development_deb} Package "^${development_package}$")
  # What the binaries link, read from them by dpkg-shlibdeps: the backend's
  # libftdi1 and libusb, the C and C++ runtimes; never the package's own
  # private libftd2xx.so.
  foreach(dependency "libftdi1-2 \\(>= [^)]+\\)" "libusb-1\\.0-0 \\(>= [^)]+\\)"
      "libc6 \\(>= [^)]+\\)" "libstdc\\+\\+6 \\(>= [^)]+\\)")
    expect_field(${runtime_deb} Depends "(^|, )${dependency}(,|$)")
  endforeach()
  run(dpkg-deb --field ${runtime_deb} Depends)
  if(out MATCHES "ftd2xx|vorandel")
    message(FATAL_ERROR "the runtime package depends on itself or its own library: ${out}")
  endif()
  expect_field(${development_deb} Depends "(^|, )${runtime_package} \\(= ${version_pattern}\\)(,|$)")

  package_files(${runtime_deb} runtime_files)
  package_files(${development_deb} development_files)
  expect_files(${runtime_deb} "${runtime_files}"
    ${libdir}/libVorandelTurntable.so.${VERSION}
    "${libdir}/libVorandelTurntable.so.1 -> libVorandelTurntable.so.${VERSION}"
    /usr/bin/turntablectl
    /usr/share/man/man1/turntablectl.1.gz
    ${private_libdir}/libftd2xx.so
    ${private_libdir}/libftdi1/libftd2xx.so
    /lib/udev/rules.d/60-vorandel-turntable.rules
    /usr/share/doc/${runtime_package}/copyright
    /usr/share/doc/${runtime_package}/changelog.gz
    /usr/share/lintian/overrides/${runtime_package})
  expect_files(${development_deb} "${development_files}"
    /usr/include/VorandelTurntable/HxVorandelTurntableControl.h
    /usr/include/VorandelTurntable/HxTurntableHardwarePrivate.h
    "${libdir}/libVorandelTurntable.so -> libVorandelTurntable.so.1"
    ${libdir}/cmake/VorandelTurntable/VorandelTurntableConfig.cmake
    ${libdir}/cmake/VorandelTurntable/VorandelTurntableConfigVersion.cmake
    ${libdir}/cmake/VorandelTurntable/VorandelTurntableTargets.cmake
    ${libdir}/pkgconfig/vorandel-turntable.pc
    /usr/share/doc/${development_package}/copyright
    /usr/share/doc/${development_package}/changelog.gz)
  # Two packages that ship the same path cannot be installed together.
  foreach(path IN LISTS runtime_files)
    if(path IN_LIST development_files)
      message(FATAL_ERROR "both packages ship ${path}")
    endif()
  endforeach()
  foreach(path IN LISTS runtime_files)
    if(path MATCHES "^/usr/include/|\\.pc$|/cmake/|\\.so -> ")
      message(FATAL_ERROR "the runtime package ships a development file: ${path}")
    endif()
  endforeach()
  foreach(entry IN LISTS development_files)
    string(REGEX REPLACE " -> .*" "" path "${entry}")
    if(path MATCHES "\\.so\\.[0-9]|/bin/|/udev/|ftd2xx")
      message(FATAL_ERROR "the development package ships a runtime file: ${path}")
    endif()
  endforeach()
  # The plug-in library's shlibs entry lets other packages' dpkg-shlibdeps
  # depend on this one.
  file(REMOVE_RECURSE ${WORK_DIR}/control)
  run(dpkg-deb --control ${runtime_deb} ${WORK_DIR}/control)
  file(READ ${WORK_DIR}/control/shlibs shlibs)
  if(NOT shlibs MATCHES "^libVorandelTurntable 1 ${runtime_package} \\(>= ${version_pattern}\\)")
    message(FATAL_ERROR "unexpected shlibs file:\n${shlibs}")
  endif()

elseif(CASE STREQUAL "Lintian")
  find_program(LINTIAN lintian)
  if(NOT LINTIAN)
    message(FATAL_ERROR "lintian is not installed (scripts/install-deps.sh installs it)")
  endif()
  run_any(${LINTIAN} --fail-on error --tag-display-limit 0 ${runtime_deb} ${development_deb})
  message("lintian:\n${out}${err}")
  if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)E: ")
    message(FATAL_ERROR "lintian reports errors (exit status ${rc})")
  endif()

elseif(CASE STREQUAL "MaintainerScripts")
  set(control ${WORK_DIR}/maintainer-scripts)
  file(REMOVE_RECURSE ${control})
  run(dpkg-deb --control ${runtime_deb} ${control})
  # A udevadm that only records its arguments stands first on PATH, so that
  # the scripts never reach this machine's udev.
  set(stub_dir ${control}/stub-bin)
  set(calls ${control}/udevadm-calls)
  file(MAKE_DIRECTORY ${stub_dir})
  file(WRITE ${stub_dir}/udevadm "#!/bin/sh\necho \"$*\" >> '${calls}'\n")
  file(CHMOD ${stub_dir}/udevadm PERMISSIONS OWNER_READ OWNER_EXECUTE OWNER_WRITE)
  # udev runs where its control socket exists; in a container it does not.
  run_any(test -S /run/udev/control)
  set(udev_running OFF)
  if(rc EQUAL 0)
    set(udev_running ON)
  endif()
  foreach(invocation
      "postinst;configure;reloads" "postinst;abort-upgrade;keeps"
      "postrm;remove;reloads" "postrm;purge;reloads" "postrm;upgrade;keeps")
    list(GET invocation 0 script)
    list(GET invocation 1 action)
    list(GET invocation 2 effect)
    run_any(test -x ${control}/${script})
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "the package has no executable ${script}")
    endif()
    file(REMOVE ${calls})
    run_any(${CMAKE_COMMAND} -E env "PATH=${stub_dir}:$ENV{PATH}" ${control}/${script} ${action})
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${script} ${action} failed (${rc}):\n${out}\n${err}")
    endif()
    set(recorded "")
    if(EXISTS ${calls})
      file(READ ${calls} recorded)
    endif()
    if(effect STREQUAL "reloads" AND udev_running)
      if(NOT recorded MATCHES "^control --reload-rules\ntrigger .*--attr-match=idVendor=0403")
        message(FATAL_ERROR "${script} ${action} with udev running did not reload and re-apply the rules:\n${recorded}")
      endif()
    elseif(NOT recorded STREQUAL "")
      message(FATAL_ERROR "${script} ${action} called udevadm (udev running: ${udev_running}):\n${recorded}")
    endif()
  endforeach()
  message("maintainer scripts checked with udev running: ${udev_running}")

elseif(CASE STREQUAL "UnpackedTurntablectlFindsSimulatedTable")
  set(root ${WORK_DIR}/runtime-root)
  unpack(${root} ${runtime_deb})
  # Nothing on the library path: the program finds the plug-in and the
  # simulator from its own place. The Classic is not turntablectl's own
  # default table, so naming it shows FTSIM_DEVICES was read.
  run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH FTSIM_DEVICES=classic LD_DEBUG=libs
    ${root}/usr/bin/turntablectl list)
  if(NOT out STREQUAL "Vorandel Classic\n")
    message(FATAL_ERROR "the unpacked turntablectl did not list the table of FTSIM_DEVICES:\n${out}\n${err}")
  endif()
  expect_loaded("${err}"
    ${root}${libdir}/libVorandelTurntable.so.1 ${root}${private_libdir}/libftd2xx.so)

  # The packaged libftdi1 backend loads with the system's libftdi1 and
  # libusb; no chip is attached here, so nothing is found.
  run_any(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=FTSIM_DEVICES LD_DEBUG=libs
    ${root}/usr/bin/turntablectl --d2xx libftdi1 list --json)
  if(NOT rc EQUAL 3 OR NOT out MATCHES "\"backend\": \"libftdi1\"")
    message(FATAL_ERROR "turntablectl on the packaged libftdi1 backend (${rc}):\n${out}\n${err}")
  endif()
  expect_loaded("${err}" ${root}${private_libdir}/libftdi1/libftd2xx.so)
  loaded_libraries("${err}" loaded)
  if(NOT loaded MATCHES "/libftdi1\\.so\\.2[.;]" OR NOT loaded MATCHES "/libusb-1\\.0\\.so\\.0[.;]")
    message(FATAL_ERROR "the backend did not load libftdi1 and libusb: ${loaded}")
  endif()

elseif(CASE STREQUAL "HostProjectBuildsAgainstDevelopmentPackage")
  set(root ${WORK_DIR}/host-root)
  unpack(${root} ${runtime_deb} ${development_deb})
  set(build ${WORK_DIR}/host-build)
  file(REMOVE_RECURSE ${build})
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host-project -B ${build} -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${root}/usr -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_BUILD_TYPE=Debug)
  file(STRINGS ${build}/CMakeCache.txt package_dir REGEX "^VorandelTurntable_DIR:")
  if(NOT package_dir STREQUAL "VorandelTurntable_DIR:PATH=${root}${libdir}/cmake/VorandelTurntable")
    message(FATAL_ERROR "the host project found another CMake package: ${package_dir}")
  endif()
  run(${CMAKE_COMMAND} --build ${build})

  # On an installed system /usr/lib is on the loader's path already; here
  # the scratch root stands in for it.
  set(library_path "${root}${libdir}:${root}${private_libdir}")
  run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${library_path} "FTSIM_DEVICES=Cobalt Medium"
    LD_DEBUG=libs ${build}/host-discovery)
  if(NOT out MATCHES "discovery answered 1 name\\(s\\)\n  Vorandel Cobalt Medium\nopened row 0\n")
    message(FATAL_ERROR "the host built against the package did not open the table:\n${out}")
  endif()
  expect_loaded("${err}"
    ${root}${libdir}/libVorandelTurntable.so.1 ${root}${private_libdir}/libftd2xx.so)

  find_program(PKG_CONFIG pkg-config)
  find_program(CXX NAMES c++ g++)
  if(NOT PKG_CONFIG OR NOT CXX)
    message(FATAL_ERROR "pkg-config and a C++ compiler are needed to build with the .pc file")
  endif()
  run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${root}${libdir}/pkgconfig
    ${PKG_CONFIG} --cflags --libs vorandel-turntable)
  separate_arguments(pc_flags UNIX_COMMAND "${out}")
  run(${CXX} -std=c++17 ${SOURCE_DIR}/examples/host-project/main.cpp ${pc_flags}
    -o ${build}/host-discovery-pc)
  run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${library_path} FTSIM_DEVICES=classic
    ${build}/host-discovery-pc)
  if(NOT out MATCHES "  Vorandel Classic\nopened row 0 \\(turns clockwise only\\)\n")
    message(FATAL_ERROR "the host built with pkg-config did not open the table:\n${out}")
  endif()

else()
  message(FATAL_ERROR "unknown CASE '${CASE}'")
endif()
