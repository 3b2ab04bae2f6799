# The export table of resources/exports.txt, written out as the Windows .def and the Linux version script.

# aNames, aOrdinals: the lists of the table, in its order.
function(zr_read_exports aNames aOrdinals)
  file(STRINGS ${PROJECT_SOURCE_DIR}/resources/exports.txt lines REGEX "^[A-Z]")
  set(names)
  set(ordinals)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([A-Z]+) ([0-9]+)$")
      message(FATAL_ERROR "resources/exports.txt: \"${line}\" is not a name and an ordinal")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
    list(APPEND ordinals ${CMAKE_MATCH_2})
  endforeach()
  set(${aNames} ${names} PARENT_SCOPE)
  set(${aOrdinals} ${ordinals} PARENT_SCOPE)
endfunction()

# The .def of the product DLL. aSuffix is the stdcall decoration of the 32-bit build ("@12"); --kill-at
# removes it from the exported names, so hosts find PAY, not PAY@12. A name that is a keyword of .def
# files (VERSION) is quoted.
function(zr_write_def aPath aSuffix)
  zr_read_exports(names ordinals)
  set(text "LIBRARY ZRPA_RIVEVEDEV17_10.dll\nEXPORTS\n")
  foreach(name ordinal IN ZIP_LISTS names ordinals)
    if(name MATCHES "^(VERSION|LIBRARY|EXPORTS|NAME|DESCRIPTION|HEAPSIZE|STACKSIZE|SECTIONS)$")
      string(APPEND text "  \"${name}${aSuffix}\" @${ordinal}\n")
    else()
      string(APPEND text "  ${name}${aSuffix} @${ordinal}\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${aPath} CONTENT "${text}" @ONLY)
endfunction()

# The Linux library's interface: the exports and the three string functions. Everything else, such as
# C++ library templates the compiler instantiated with default visibility, stays inside.
function(zr_write_version_script aPath)
  zr_read_exports(names ordinals)
  list(JOIN names "; " global)
  file(CONFIGURE OUTPUT ${aPath} CONTENT
       "{\n  global:\n    ${global};\n    SysAllocStringLen; SysFreeString; SysStringLen;\n  local: *;\n};\n" @ONLY)
endfunction()
