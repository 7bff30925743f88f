# backend.cmake: link needs of the Win32 Bluetooth backend, included by bluetooth/CMakeLists.txt.
# mingw-w64 ships no import library for "irprops.cpl"; one is made here from irprops.def with dlltool,
# for the target's architecture (the i686 names carry their @N argument sizes, the x86_64 ones none).
set(KV_IRPROPS_DEF ${CMAKE_CURRENT_BINARY_DIR}/irprops.def)
set(KV_IRPROPS_LIB ${CMAKE_CURRENT_BINARY_DIR}/libirprops.a)
file(READ ${CMAKE_CURRENT_LIST_DIR}/irprops.def KV_IRPROPS_DEF_TEXT)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KV_DLLTOOL_MACHINE i386)
else()
  set(KV_DLLTOOL_MACHINE i386:x86-64)
  string(REGEX REPLACE "@[0-9]+" "" KV_IRPROPS_DEF_TEXT "${KV_IRPROPS_DEF_TEXT}")
endif()
file(CONFIGURE OUTPUT ${KV_IRPROPS_DEF} CONTENT "${KV_IRPROPS_DEF_TEXT}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/irprops.def)

if(NOT CMAKE_DLLTOOL)
  find_program(CMAKE_DLLTOOL NAMES ${KV_MINGW_PREFIX}-dlltool dlltool REQUIRED)
endif()
add_custom_command(OUTPUT ${KV_IRPROPS_LIB}
  COMMAND ${CMAKE_DLLTOOL} -m ${KV_DLLTOOL_MACHINE} --kill-at -d ${KV_IRPROPS_DEF} -l ${KV_IRPROPS_LIB}
  DEPENDS ${KV_IRPROPS_DEF}
  COMMENT "Import library for irprops.cpl (${KV_DLLTOOL_MACHINE})"
  VERBATIM)
add_custom_target(kv_irprops_import DEPENDS ${KV_IRPROPS_LIB})
add_dependencies(kv_bluetooth kv_irprops_import)

# Bluetooth API, SetupAPI with the configuration manager calls, and the message box and string table calls.
target_link_libraries(kv_bluetooth PUBLIC ${KV_IRPROPS_LIB} setupapi user32)
