# What `cmake --install` puts in place, for host applications and for people:
#
#   <libdir>/libVorandelTurntable.so*            the plug-in (component Runtime)
#   <bindir>/turntablectl                        the reference host (Runtime)
#   <includedir>/VorandelTurntable/*.h           the host's view: SDK classes, the
#                                                plug-in class and the models' ids,
#                                                all of include/ (Development)
#   <libdir>/cmake/VorandelTurntable/            CMake package, imported target
#                                                VorandelTurntable::VorandelTurntable
#   <libdir>/pkgconfig/vorandel-turntable.pc     pkg-config file
#   <libdir>/vorandel-turntable/libftd2xx.so     the simulated bench (Simulator), only
#                                                with TT_INSTALL_SIMULATOR
#   <libdir>/vorandel-turntable/libftdi1/libftd2xx.so
#                                                the libftdi1 backend for real tables
#                                                (Hardware)
#   <TT_UDEV_RULES_DIR>/60-vorandel-turntable.rules
#                                                access for the plugdev group (Hardware)
#
# The simulator goes to a private directory, never beside the system's
# libraries: a host that finds the vendor's libftd2xx.so keeps using it, and
# only turntablectl falls back on the bundled simulator (by loading it before
# the plug-in) when no other libftd2xx.so can be found.
include(CMakePackageConfigHelpers)

option(TT_INSTALL_SIMULATOR
  "Install the simulated bench as <libdir>/vorandel-turntable/libftd2xx.so for turntablectl"
  ON)

set(TT_INSTALL_HEADER_DIR ${CMAKE_INSTALL_INCLUDEDIR}/VorandelTurntable)
set(TT_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VorandelTurntable)
set(TT_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/vorandel-turntable)

install(TARGETS VorandelTurntable d2xx_headers
  EXPORT VorandelTurntableTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime
    NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${TT_INSTALL_HEADER_DIR})

# The host's view is what include/ holds, the models' ids beside the classes.
install(DIRECTORY
    ${PROJECT_SOURCE_DIR}/include/VorandelTurntable/
    ${PROJECT_SOURCE_DIR}/include/TurntableIds/
  DESTINATION ${TT_INSTALL_HEADER_DIR} COMPONENT Development
  FILES_MATCHING PATTERN "*.h")

install(TARGETS turntablectl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

if(TT_INSTALL_SIMULATOR)
  install(TARGETS ftd2xx_sim
    LIBRARY DESTINATION ${TT_INSTALL_PRIVATE_LIBDIR} COMPONENT Simulator)
endif()

if(TARGET ftd2xx_libftdi)
  set(TT_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rules for FT245R turntables are installed (relative: under the prefix)")
  install(TARGETS ftd2xx_libftdi
    LIBRARY DESTINATION ${TT_INSTALL_PRIVATE_LIBDIR}/libftdi1 COMPONENT Hardware)
  install(FILES ${PROJECT_SOURCE_DIR}/d2xx/ftdi/60-vorandel-turntable.rules
    DESTINATION ${TT_UDEV_RULES_DIR} COMPONENT Hardware)
endif()

# CMake package.
install(EXPORT VorandelTurntableTargets
  NAMESPACE VorandelTurntable::
  DESTINATION ${TT_INSTALL_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/VorandelTurntableConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VorandelTurntableConfig.cmake
  INSTALL_DESTINATION ${TT_INSTALL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR TT_INSTALL_PRIVATE_LIBDIR)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/VorandelTurntableConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/VorandelTurntableConfig.cmake
    ${PROJECT_BINARY_DIR}/VorandelTurntableConfigVersion.cmake
  DESTINATION ${TT_INSTALL_CMAKE_DIR} COMPONENT Development)

# pkg-config, relocatable: the prefix is found from the file's own place, so
# `cmake --install --prefix` anywhere gives a working file.
file(RELATIVE_PATH TT_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TT_PC_TO_PREFIX "${TT_PC_TO_PREFIX}")
set(TT_PC_LINK_PRIVATE_LIBDIR "")
if(TT_INSTALL_SIMULATOR)
  # The plug-in needs libftd2xx.so; let the linker find the bundled one when
  # the vendor's is not installed.
  set(TT_PC_LINK_PRIVATE_LIBDIR "-Wl,-rpath-link,\${libdir}/vorandel-turntable")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vorandel-turntable.pc.in
  ${PROJECT_BINARY_DIR}/vorandel-turntable.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vorandel-turntable.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
