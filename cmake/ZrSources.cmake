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
