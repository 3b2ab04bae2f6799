# The library as a release ships it (scripts/package.sh). Linux: a versioned file with the soname
# libZRPA_RIVEVEDEV17_10.so.<ABI major>, a pkg-config file and a CMake package, installed by
# `cmake --install` into a relocatable tree (lib/, include/, lib/pkgconfig, lib/cmake/<name>/).
# The ABI major changes only when an existing export changes; it must match ZRPA_ABI_MAJOR in the header.
set(ZR_ABI_MAJOR 1)
file(STRINGS ${PROJECT_SOURCE_DIR}/include/ZRPA_RIVEVEDEV17_10.h _zr_abi_line REGEX "^#define ZRPA_ABI_MAJOR ")
if(NOT _zr_abi_line STREQUAL "#define ZRPA_ABI_MAJOR ${ZR_ABI_MAJOR}")
  message(FATAL_ERROR "ZRPA_ABI_MAJOR in the header (${_zr_abi_line}) differs from ZR_ABI_MAJOR ${ZR_ABI_MAJOR}")
endif()

if(NOT WIN32)
  set_target_properties(ZRPA_RIVEVEDEV17_10 PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${ZR_ABI_MAJOR})
  set(_zr_exports_map ${PROJECT_BINARY_DIR}/generated/exports.map)
  zr_write_version_script(${_zr_exports_map})
  target_link_options(ZRPA_RIVEVEDEV17_10 PRIVATE -Wl,--version-script=${_zr_exports_map})
  set_property(TARGET ZRPA_RIVEVEDEV17_10 APPEND PROPERTY LINK_DEPENDS ${_zr_exports_map})

  include(GNUInstallDirs)
  include(CMakePackageConfigHelpers)
  set(_zr_package_dir ${PROJECT_BINARY_DIR}/package)
  set(_zr_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ZRPA_RIVEVEDEV17_10)
  configure_file(${PROJECT_SOURCE_DIR}/resources/package/ZRPA_RIVEVEDEV17_10.pc.in
                 ${_zr_package_dir}/ZRPA_RIVEVEDEV17_10.pc @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/package/ZRPA_RIVEVEDEV17_10Config.cmake.in
                 ${_zr_package_dir}/ZRPA_RIVEVEDEV17_10Config.cmake @ONLY)
  write_basic_package_version_file(${_zr_package_dir}/ZRPA_RIVEVEDEV17_10ConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)

  install(TARGETS ZRPA_RIVEVEDEV17_10 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/ZRPA_RIVEVEDEV17_10.h ${PROJECT_SOURCE_DIR}/include/ZRPA_RIVEVEDEV17_10.hpp
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES ${_zr_package_dir}/ZRPA_RIVEVEDEV17_10.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  install(FILES ${_zr_package_dir}/ZRPA_RIVEVEDEV17_10Config.cmake
                ${_zr_package_dir}/ZRPA_RIVEVEDEV17_10ConfigVersion.cmake DESTINATION ${_zr_cmake_dir})
endif()
