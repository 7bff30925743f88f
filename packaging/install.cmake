# install.cmake: what `cmake --install` places, by component (runtime, dev, tools), every path relative
# to the prefix so an installed tree can move: the CMake package finds itself from its own folder and
# the pkg-config file from ${pcfiledir}.

# Debian and its derivatives keep libraries in the multiarch folder, under /usr and /usr/local alike.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
# Installing and packaging take what is built; they do not first build every test program.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CMakePackageConfigHelpers)

set(KV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/KorvantaSDK)
set(KV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KorvantaSDK)
set(KV_DOC_RUNTIME ${CMAKE_INSTALL_DATADIR}/doc/libkorvantasdk${PROJECT_VERSION_MAJOR})
set(KV_DOC_DEV ${CMAKE_INSTALL_DATADIR}/doc/libkorvantasdk-dev)
set(KV_DOC_TOOLS ${CMAKE_INSTALL_DATADIR}/doc/korvanta-tools)

install(TARGETS KorvantaSDK EXPORT KorvantaSDKTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${KV_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/base/KorvantaSDK.h ${PROJECT_SOURCE_DIR}/base/KorvantaSession.h
              ${PROJECT_SOURCE_DIR}/base/result_codes.inc
        DESTINATION ${KV_INSTALL_INCLUDEDIR} COMPONENT dev)

install(EXPORT KorvantaSDKTargets NAMESPACE KorvantaSDK:: DESTINATION ${KV_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(KorvantaSDKConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/KorvantaSDKConfig.cmake
                              INSTALL_DESTINATION ${KV_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KorvantaSDKConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KorvantaSDKConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KorvantaSDKConfigVersion.cmake
        DESTINATION ${KV_INSTALL_CMAKEDIR} COMPONENT dev)

# The .pc file sits in <libdir>/pkgconfig and names the prefix by the way back up from there.
file(RELATIVE_PATH KV_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KV_PC_TO_PREFIX "${KV_PC_TO_PREFIX}")
configure_file(korvanta-sdk.pc.in ${CMAKE_CURRENT_BINARY_DIR}/korvanta-sdk.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvanta-sdk.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

install(FILES ${PROJECT_SOURCE_DIR}/tools/example/calc_example.c DESTINATION ${KV_DOC_DEV}/examples COMPONENT dev)
# The reference manual (docs/reference), registered with doc-base (its paths are those of the .deb).
if(TARGET reference_manual)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/reference/html DESTINATION ${KV_DOC_DEV} COMPONENT dev)
  install(FILES doc-base-dev DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME libkorvantasdk-dev COMPONENT dev)
endif()
# Each tool's manual page is written by help2man from the tool's own --help, so the two cannot drift
# apart; compressed as Debian keeps manual pages. Native builds only: the program must run.
find_program(KV_HELP2MAN help2man)
set(KV_MAN_NAME_korvanta "download, calculate and report the tests of Korvanta analysers")
set(KV_MAN_NAME_kv_simulator "a simulated Korvanta analyser on a pseudo-terminal")
foreach(tool korvanta kv_simulator)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    if(KV_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
      set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz)
      add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND sh -c "\"$1\" --no-info --no-discard-stderr --version-string=\"$2\" --name=\"$3\" \"$4\" | gzip -9n >\"$5\""
                sh ${KV_HELP2MAN} ${PROJECT_VERSION} "${KV_MAN_NAME_${tool}}" $<TARGET_FILE:${tool}> ${page}
        DEPENDS ${tool} VERBATIM)
      add_custom_target(${tool}_manual_page ALL DEPENDS ${page})
      install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
    endif()
  endif()
endforeach()
