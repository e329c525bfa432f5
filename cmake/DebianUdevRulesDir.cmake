# CPack pre-build script: moves the udev rules, installed under the packaging
# prefix (/usr/lib/udev/rules.d), to /lib/udev/rules.d in every staged
# package: where Debian 12's own packages (systemd, libsigrok4, e2fsprogs)
# put the udev rules they ship. With Debian 12's merged /usr it is the same
# directory as /usr/lib/udev/rules.d, which udev reads.
file(GLOB staged_udev_dirs LIST_DIRECTORIES true
  "${CPACK_TEMPORARY_DIRECTORY}/*${CPACK_PACKAGING_INSTALL_PREFIX}/lib/udev")
foreach(staged IN LISTS staged_udev_dirs)
  string(LENGTH "${CPACK_PACKAGING_INSTALL_PREFIX}/lib/udev" suffix_length)
  string(LENGTH "${staged}" staged_length)
  math(EXPR root_length "${staged_length} - ${suffix_length}")
  string(SUBSTRING "${staged}" 0 ${root_length} package_root)
  file(MAKE_DIRECTORY "${package_root}/lib")
  file(RENAME "${staged}" "${package_root}/lib/udev")
  # Leaves no empty <prefix>/lib behind when the rules were all it held.
  file(GLOB left LIST_DIRECTORIES true "${package_root}${CPACK_PACKAGING_INSTALL_PREFIX}/lib/*")
  if(NOT left)
    file(REMOVE_RECURSE "${package_root}${CPACK_PACKAGING_INSTALL_PREFIX}/lib")
  endif()
endforeach()
