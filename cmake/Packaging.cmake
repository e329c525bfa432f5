# Debian packages, built by CPack from this build tree (`cpack -G DEB`, or
# scripts/package.sh):
#
#   vorandel-turntable      the plug-in library, turntablectl, the libftdi1
#                           backend and the simulator in their private
#                           directory, the udev rules in /lib/udev/rules.d;
#                           maintainer scripts reload udev's rules
#   vorandel-turntable-dev  the host-facing headers, the CMake package, the
#                           pkg-config file and the library's link name
#
# Each package is a CPack component group made of install components. A new
# component joins a package by adding its name to one of the two lists below;
# configuring fails while an install component is in neither list, so nothing
# `cmake --install` puts in place is left out of the packages unnoticed.
# Include this file last, after every install() rule.

set(TT_DEB_RUNTIME_COMPONENTS Runtime Simulator Hardware Python DebianRuntimeMetadata)
set(TT_DEB_DEVELOPMENT_COMPONENTS Development DebianDevelopmentMetadata)

set(TT_DEB_RUNTIME_PACKAGE vorandel-turntable)
set(TT_DEB_DEVELOPMENT_PACKAGE vorandel-turntable-dev)
set(TT_DEB_MAINTAINER "Vorandel turntable maintainers <maintainers@vorandel-turntable.example>"
  CACHE STRING "Maintainer field of the Debian packages")

# Debian wants a copyright file and a changelog in every package's
# documentation directory, and lintian reads a package's justified
# exceptions from its overrides file; none of them belongs in a plain
# `cmake --install`.
set(TT_DEB_SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/debian)
set(TT_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog)
configure_file(${TT_DEB_SOURCE_DIR}/changelog.in ${TT_DEB_CHANGELOG} @ONLY)
# Maximum compression and no time stamp, so that the same tree gives the
# same file.
execute_process(COMMAND gzip -9nf ${TT_DEB_CHANGELOG} RESULT_VARIABLE tt_gzip_result)
if(NOT tt_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${TT_DEB_CHANGELOG}")
endif()
install(FILES ${TT_DEB_SOURCE_DIR}/copyright ${TT_DEB_CHANGELOG}.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TT_DEB_RUNTIME_PACKAGE}
  COMPONENT DebianRuntimeMetadata EXCLUDE_FROM_ALL)
install(FILES ${TT_DEB_SOURCE_DIR}/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
  RENAME ${TT_DEB_RUNTIME_PACKAGE}
  COMPONENT DebianRuntimeMetadata EXCLUDE_FROM_ALL)
install(FILES ${TT_DEB_SOURCE_DIR}/copyright ${TT_DEB_CHANGELOG}.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TT_DEB_DEVELOPMENT_PACKAGE}
  COMPONENT DebianDevelopmentMetadata EXCLUDE_FROM_ALL)

# turntablectl's manual page, written from its own help (not in sanitizer
# builds, whose programs no package carries).
if(TARGET turntablectl AND NOT TT_SANITIZE)
  set(tt_man_page ${PROJECT_BINARY_DIR}/debian/turntablectl.1)
  add_custom_command(OUTPUT ${tt_man_page}.gz
    COMMAND ${CMAKE_COMMAND} -DTURNTABLECTL=$<TARGET_FILE:turntablectl>
      -DVERSION=${PROJECT_VERSION} -DOUTPUT=${tt_man_page}
      -P ${PROJECT_SOURCE_DIR}/cmake/TurntablectlManPage.cmake
    COMMAND gzip -9nf ${tt_man_page}
    DEPENDS turntablectl ${PROJECT_SOURCE_DIR}/cmake/TurntablectlManPage.cmake
    COMMENT "Writing turntablectl's manual page from its help"
    VERBATIM)
  add_custom_target(turntablectl_man_page ALL DEPENDS ${tt_man_page}.gz)
  install(FILES ${tt_man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT DebianRuntimeMetadata EXCLUDE_FROM_ALL)
endif()

get_cmake_property(tt_install_components COMPONENTS)
foreach(component IN LISTS tt_install_components)
  if(NOT component IN_LIST TT_DEB_RUNTIME_COMPONENTS
     AND NOT component IN_LIST TT_DEB_DEVELOPMENT_COMPONENTS)
    message(FATAL_ERROR "The install component '${component}' is in no Debian package: "
      "add it to TT_DEB_RUNTIME_COMPONENTS or TT_DEB_DEVELOPMENT_COMPONENTS in ${CMAKE_CURRENT_LIST_FILE}")
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TT_DEB_RUNTIME_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TT_DEB_MAINTAINER}")
# Each package's description file starts with its own synopsis line; CPack
# puts a project-wide summary above it unless the summary is its default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Every destination is relative to the prefix: an absolute one would be
# written outside the staging directory, into the packaging machine.
set(CPACK_ERROR_ON_ABSOLUTE_INSTALL_DESTINATION ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENTS_ALL ${TT_DEB_RUNTIME_COMPONENTS} ${TT_DEB_DEVELOPMENT_COMPONENTS})
foreach(component IN LISTS TT_DEB_RUNTIME_COMPONENTS)
  string(TOUPPER ${component} upper)
  set(CPACK_COMPONENT_${upper}_GROUP RuntimePackage)
endforeach()
foreach(component IN LISTS TT_DEB_DEVELOPMENT_COMPONENTS)
  string(TOUPPER ${component} upper)
  set(CPACK_COMPONENT_${upper}_GROUP DevelopmentPackage)
endforeach()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TT_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE ${TT_DEB_RUNTIME_PACKAGE})
# Depends from the binaries themselves: dpkg-shlibdeps reads what each ELF
# file needs. The libftd2xx.so the plug-in needs is found inside the
# package, in the private directory (the simulator) or below it (the
# libftdi1 backend, for a build without the simulator).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${TT_INSTALL_PRIVATE_LIBDIR}
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${TT_INSTALL_PRIVATE_LIBDIR}/libftdi1)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A shlibs entry lets a host's own package depend on the plug-in library;
# only libraries with a versioned SONAME get one, not the private
# libftd2xx.so files.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIMEPACKAGE_PACKAGE_NAME ${TT_DEB_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIMEPACKAGE_PACKAGE_SECTION libs)
# Our own postinst and postrm replace the ones CPack would write to run
# ldconfig, so the package asks for ldconfig through a trigger instead.
set(CPACK_DEBIAN_RUNTIMEPACKAGE_PACKAGE_CONTROL_EXTRA
  ${TT_DEB_SOURCE_DIR}/postinst ${TT_DEB_SOURCE_DIR}/postrm ${TT_DEB_SOURCE_DIR}/triggers)
file(READ ${TT_DEB_SOURCE_DIR}/runtime-description.txt CPACK_DEBIAN_RUNTIMEPACKAGE_DESCRIPTION)
# The Python package (component Python), when the build made it.
if(TT_PYTHON_DEB_DEPENDS)
  set(CPACK_DEBIAN_RUNTIMEPACKAGE_PACKAGE_DEPENDS "${TT_PYTHON_DEB_DEPENDS}")
endif()

set(CPACK_DEBIAN_DEVELOPMENTPACKAGE_PACKAGE_NAME ${TT_DEB_DEVELOPMENT_PACKAGE})
set(CPACK_DEBIAN_DEVELOPMENTPACKAGE_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENTPACKAGE_PACKAGE_DEPENDS
  "${TT_DEB_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")
file(READ ${TT_DEB_SOURCE_DIR}/development-description.txt
  CPACK_DEBIAN_DEVELOPMENTPACKAGE_DESCRIPTION)

# udev on Debian 12 reads the distribution's rules from /lib/udev/rules.d,
# outside the /usr prefix every other file of the packages lives under.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianUdevRulesDir.cmake)

include(CPack)
