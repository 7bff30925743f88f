# testing.cmake: GoogleTest for both builds, and kv_add_gtest to declare a test program.
# Natively Debian's prebuilt GoogleTest is used; a cross build compiles it from /usr/src/googletest.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Wine hands a crash on a thread other than the main one to its debugger and the program then exits 0,
# so a Windows test fails on the crash report Wine prints, whatever its exit status.
set(KV_WINE_CRASH_PATTERN "wine: Unhandled;Unhandled exception")

# kv_add_gtest(name SOURCES a.cpp ... [LIBS lib ...] [LABELS label ...] [TIMEOUT s])
# Linux: every test case becomes its own CTest test, so ctest -j spreads them.
# Windows: one CTest test per program, as each Wine start costs a second.
function(kv_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kv_options GTest::gtest_main GTest::gmock ${ARG_LIBS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900 LABELS "${ARG_LABELS};windows"
                         FAIL_REGULAR_EXPRESSION "${KV_WINE_CRASH_PATTERN}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
  endif()
endfunction()
