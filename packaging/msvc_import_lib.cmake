# msvc_import_lib.cmake: lib/KorvantaSDK.lib, the DLL's import library in Microsoft's format, written by
# llvm-dlltool from the DLL's .def. On x86, -k maps each Name@N that Microsoft's compiler references
# for a __stdcall call (__imp__Name@N) to the DLL's undecorated export Name.
find_program(KV_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14)
if(NOT KV_LLVM_DLLTOOL)
  message(STATUS "llvm-dlltool not found (package llvm): no MSVC-format KorvantaSDK.lib")
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KV_DLLTOOL_ARGS -m i386 -k)
else()
  set(KV_DLLTOOL_ARGS -m i386:x86-64)
endif()
set(KV_MSVC_LIB ${PROJECT_BINARY_DIR}/lib/KorvantaSDK.lib)
add_custom_command(OUTPUT ${KV_MSVC_LIB}
  COMMAND ${KV_LLVM_DLLTOOL} ${KV_DLLTOOL_ARGS} -d ${PROJECT_BINARY_DIR}/sdk/KorvantaSDK.def
          -D KorvantaSDK.dll -l ${KV_MSVC_LIB}
  DEPENDS ${PROJECT_BINARY_DIR}/sdk/KorvantaSDK.def VERBATIM)
add_custom_target(KorvantaSDK_msvc_lib ALL DEPENDS ${KV_MSVC_LIB})
