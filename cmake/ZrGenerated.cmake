# Files generated from resources/VersionHistory.txt, the one source of the version-history string table:
#  - Windows: an .rc with the STRINGTABLE (ids 10000 upward) and the VERSIONINFO, which
#    zr_add_version_resources links into the DLL and into the test program (it reads the table from its
#    own module, as the DLL does);
#  - elsewhere: a .cpp holding the same table, compiled into the platform layer (zrplatform), and
#    zr_add_version_resources does nothing.
# Included by the top CMakeLists.txt after the target zrplatform exists.

set(ZR_VERSION_DATA ${PROJECT_SOURCE_DIR}/resources/VersionHistory.txt)
set(ZR_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZR_VERSION_DATA})

file(READ ${ZR_VERSION_DATA} _zr_content)
# The lines become a CMake list: characters with a meaning in list syntax are refused.
string(FIND "${_zr_content}" ";" _zr_semicolon)
string(FIND "${_zr_content}" "\\" _zr_backslash)
string(REGEX MATCH "[][]" _zr_bracket "${_zr_content}")
if(NOT _zr_semicolon EQUAL -1 OR NOT _zr_backslash EQUAL -1 OR _zr_bracket)
  message(FATAL_ERROR "${ZR_VERSION_DATA}: semicolons, backslashes and square brackets cannot be used")
endif()
string(REPLACE "\r" "" _zr_content "${_zr_content}")
string(REPLACE "\n" ";" _zr_lines "${_zr_content}")

set(_zr_id 10000)
set(_zr_rc_entries "")
set(_zr_cpp_entries "")
set(_zr_description "")
set(_zr_copyright "")
set(_zr_last_version "")
foreach(_zr_line IN LISTS _zr_lines)
  if(_zr_line STREQUAL "" OR _zr_line MATCHES "^#")
    continue()
  endif()
  string(LENGTH "${_zr_line}" _zr_length)
  if(_zr_length GREATER 1024)
    message(FATAL_ERROR "${ZR_VERSION_DATA}: string ${_zr_id} is longer than 1024 characters")
  endif()
  if(_zr_line MATCHES "^\\$[Vv][Ee][Rr][Ss][Ii][Oo][Nn]=(.*)$")
    set(_zr_last_version "${CMAKE_MATCH_1}")
  elseif(_zr_line MATCHES "^\\$APPDESCRIPTION=(.*)$")
    set(_zr_description "${CMAKE_MATCH_1}")
  elseif(_zr_line MATCHES "^\\$COPYRIGHT=(.*)$")
    set(_zr_copyright "${CMAKE_MATCH_1}")
  endif()
  # Resource script: a quote is doubled. C++: a quote is escaped.
  string(REPLACE "\"" "\"\"" _zr_rc "${_zr_line}")
  string(REPLACE "\"" "\\\"" _zr_cpp "${_zr_line}")
  string(APPEND _zr_rc_entries "    ${_zr_id}, \"${_zr_rc}\"\n")
  string(APPEND _zr_cpp_entries "    {${_zr_id}, u\"${_zr_cpp}\"},\n")
  math(EXPR _zr_id "${_zr_id} + 1")
endforeach()

if(NOT _zr_last_version MATCHES "^([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "${ZR_VERSION_DATA}: the last $VERSION (\"${_zr_last_version}\") is not major.minor")
endif()
set(ZR_VERSION_MAJOR ${CMAKE_MATCH_1})
math(EXPR ZR_VERSION_MINOR "${CMAKE_MATCH_2}")
if(NOT "${ZR_VERSION_MAJOR}.${ZR_VERSION_MINOR}" VERSION_EQUAL "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
  message(FATAL_ERROR "The last $VERSION of ${ZR_VERSION_DATA} (${_zr_last_version}) differs from the project "
                      "version ${PROJECT_VERSION}")
endif()
set(ZR_FILE_VERSION "${ZR_VERSION_MAJOR},${ZR_VERSION_MINOR},0,0")
set(ZR_FILE_VERSION_TEXT "${ZR_VERSION_MAJOR}.${ZR_VERSION_MINOR}.0.0")
string(REPLACE "\"" "\"\"" ZR_RC_DESCRIPTION "${_zr_description}")
string(REPLACE "\"" "\"\"" ZR_RC_COPYRIGHT "${_zr_copyright}")

if(WIN32)
  enable_language(RC)
  set(_zr_rc_file ${ZR_GENERATED_DIR}/ZrVersionInfo.rc)
  file(CONFIGURE OUTPUT ${_zr_rc_file} @ONLY CONTENT [=[
// Generated from resources/VersionHistory.txt by cmake/ZrGenerated.cmake. Do not edit.
#pragma code_page(65001)
#include <winver.h>

STRINGTABLE
BEGIN
@_zr_rc_entries@END

1 VERSIONINFO
FILEVERSION @ZR_FILE_VERSION@
PRODUCTVERSION @ZR_FILE_VERSION@
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_DLL
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "041004B0"
        BEGIN
            VALUE "FileDescription", "@ZR_RC_DESCRIPTION@"
            VALUE "FileVersion", "@ZR_FILE_VERSION_TEXT@"
            VALUE "InternalName", "ZRPA_RIVEVEDEV17_10"
            VALUE "LegalCopyright", "@ZR_RC_COPYRIGHT@"
            VALUE "OriginalFilename", "ZRPA_RIVEVEDEV17_10.dll"
            VALUE "ProductName", "ZRPA_RIVEVEDEV17_10"
            VALUE "ProductVersion", "@ZR_FILE_VERSION_TEXT@"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0410, 1200
    END
END
]=])
else()
  set(_zr_cpp_file ${ZR_GENERATED_DIR}/ZrStringTable.cpp)
  file(CONFIGURE OUTPUT ${_zr_cpp_file} @ONLY CONTENT [=[
// Generated from resources/VersionHistory.txt by cmake/ZrGenerated.cmake. Do not edit.
#include "platform/StringTableData.h"

const tZR_StringTableEntry kZrStringTable[] = {
@_zr_cpp_entries@};
const std::size_t kZrStringTableSize = sizeof(kZrStringTable) / sizeof(kZrStringTable[0]);
]=])
  target_sources(zrplatform PRIVATE ${_zr_cpp_file})
endif()

# The version resources (string table and VERSIONINFO) for a Windows module; nothing elsewhere.
function(zr_add_version_resources target)
  if(WIN32)
    target_sources(${target} PRIVATE ${ZR_GENERATED_DIR}/ZrVersionInfo.rc)
  endif()
endfunction()
