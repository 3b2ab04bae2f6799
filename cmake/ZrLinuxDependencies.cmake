# What the library's code needs on Linux, so that the shipped library links nothing beyond the C and C++
# runtimes:
#  - pugixml: linked statically, its symbols kept out of the library's exports;
#  - libcurl (HTTP channel) and CUPS (spooler channel): headers only; src/io/CurlApi_posix.cpp and
#    src/io/CupsApi_posix.cpp load them when such a channel is first used.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PUGIXML REQUIRED pugixml)
find_library(ZR_PUGIXML_STATIC NAMES libpugixml.a HINTS ${PUGIXML_LIBRARY_DIRS} REQUIRED)
find_package(CURL REQUIRED)
find_package(Cups REQUIRED)

function(zr_use_linux_dependencies target)
  target_include_directories(${target} SYSTEM PUBLIC ${PUGIXML_INCLUDE_DIRS})
  target_include_directories(${target} SYSTEM PRIVATE ${CURL_INCLUDE_DIRS} ${CUPS_INCLUDE_DIR})
  target_link_libraries(${target} PUBLIC ${ZR_PUGIXML_STATIC})
  # Hidden in the shared library: a host with its own pugixml keeps it.
  target_link_options(${target} INTERFACE -Wl,--exclude-libs,libpugixml.a)
endfunction()
