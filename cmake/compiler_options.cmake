# Options every target of the project shares, through the interface target kv_options.
add_library(kv_options INTERFACE)
target_compile_features(kv_options INTERFACE cxx_std_20)

# The calculation follows single precision operation by operation: no fused
# multiply-add, no vectorised re-association of adjacent float conversions.
target_compile_options(kv_options INTERFACE -ffp-contract=off)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(kv_options INTERFACE -fno-tree-slp-vectorize)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(kv_options INTERFACE -fno-builtin-log10f)
endif()

# A 32-bit x86 build computes in SSE registers as the 64-bit builds do: x87 arithmetic would carry
# 80-bit intermediates and round differently. Hosts may call in with a 4-byte aligned stack, so
# functions that spill SSE values realign it.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
  target_compile_options(kv_options INTERFACE -msse2 -mfpmath=sse -mstackrealign)
endif()

target_compile_options(kv_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
if(KV_WARNINGS_AS_ERRORS)
  target_compile_options(kv_options INTERFACE -Werror)
endif()

if(WIN32)
  # No mingw runtime DLLs to ship or to find under Wine.
  target_link_options(kv_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(kv_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(KV_COVERAGE)
  target_compile_options(kv_options INTERFACE --coverage -O0)
  target_link_options(kv_options INTERFACE --coverage)
endif()
