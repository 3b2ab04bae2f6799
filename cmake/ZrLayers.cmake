# The library's layers: one static library per folder of src/, linked only downwards.
#
# A layer sees its own folder and the folders of the layers it links, nothing else: its include root
# (under the build tree) holds a single link, named after the folder, to src/<folder>, and that root
# travels upwards through the PUBLIC links only. `#include "io/IOHandler.h"` therefore compiles in the
# payment layer (which links io) and fails in the runtime layer ("No such file or directory"). The
# compilers run on the build machine for every preset (mingw included), so a symbolic link serves all.

# Options and definitions for the code that ships inside the product library.
add_library(zr_shipped INTERFACE)
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GNU unique symbols (from libstdc++'s inline statics) would make dlclose a no-op, so a host that
  # unloads the library would never see its devices closed and its logs finished.
  target_compile_options(zr_shipped INTERFACE -fno-gnu-unique)
endif()

# zr_add_layer(<target> <folder> [PUBLIC <targets>...] [PRIVATE <targets>...] [EXCLUDE <names>...])
# Every .cpp under src/<folder> of this platform, except the load/unload hooks of the product itself and
# the files named by EXCLUDE (without .cpp: a library of their own that the layer links).
function(zr_add_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "PUBLIC;PRIVATE;EXCLUDE")
  zr_collect_sources(sources ${PROJECT_SOURCE_DIR}/src/${folder})
  list(FILTER sources EXCLUDE REGEX "/LibraryMain[^/]*\\.cpp$")
  foreach(name IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${name}\\.cpp$")
  endforeach()
  add_library(${target} STATIC ${sources})
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} zr_warnings zr_shipped)
endfunction()

# An include that climbs out of its folder ("../io/TcpClient.h", "runtime/../io/TcpClient.h") would reach a
# layer's header from any layer, past the include roots that keep the layers apart: the configuration
# stops on the first one, naming its file and line.
function(zr_refuse_relative_includes)
  foreach(folder IN LISTS ARGN)
    file(GLOB_RECURSE files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.hpp
         ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.c)
    foreach(file IN LISTS files)
      file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.[/\\\\]")
      if(lines)
        list(GET lines 0 line)
        message(FATAL_ERROR "${file}: an include that climbs out of its folder crosses the layers: ${line}")
      endif()
    endforeach()
  endforeach()
endfunction()
