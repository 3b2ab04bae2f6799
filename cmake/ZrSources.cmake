# Source collection: every .cpp under the given folder, with the other platform's files left out.
# A platform-specific implementation sits next to its portable file as Name_posix.cpp / Name_win.cpp.
function(zr_collect_sources out_var dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win\\.cpp$")
  endif()
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()

# The include root of one folder of test support (tests/support/<folder>): a folder under the build tree
# holding a link named `support` to it, so `#include "support/TempFolder.h"` compiles only where that
# root is on the include path, as the layers' roots work (cmake/ZrLayers.cmake). The test programs and
# the fuzz programs make their roots with it.
function(zr_test_support_root out_var folder)
  set(root ${PROJECT_BINARY_DIR}/test-support/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/tests/support/${folder} ${root}/support SYMBOLIC)
  set(${out_var} ${root} PARENT_SCOPE)
endfunction()
