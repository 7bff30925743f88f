# debian.cmake: the Debian packages, made by CPack from the install components: libkorvantasdk1 (the
# library), libkorvantasdk-dev (header, CMake package, pkg-config file, example, reference manual) and
# korvanta-tools (korvanta and kv_simulator). Dependencies come from dpkg-shlibdeps.
set(KV_MAINTAINER "KorvantaSDK developers <sdk@korvanta.example>")
set(KV_DEB_REVISION 1)

# Each package carries its copyright and a Debian changelog (gzip -n: no time stamp inside).
string(TIMESTAMP KV_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(changelog.Debian.in ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
                OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
set(KV_DEB_COMPONENTS runtime dev)
if(TARGET korvanta)
  list(APPEND KV_DEB_COMPONENTS tools)
endif()
foreach(component ${KV_DEB_COMPONENTS})
  string(TOUPPER ${component} upper)
  install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
          DESTINATION ${KV_DOC_${upper}} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvanta-sdk)
set(CPACK_PACKAGE_VENDOR "KorvantaSDK developers")
set(CPACK_PACKAGE_CONTACT ${KV_MAINTAINER})
set(CPACK_COMPONENTS_ALL ${KV_DEB_COMPONENTS})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KV_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Where dpkg-shlibdeps finds the library the tools link; the tools package depends on its package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkorvantasdk${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg runs ldconfig once through the trigger; CPack's own postinst and postrm would call it again.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "Korvanta body-composition analysers: the SDK library
The shared library for hosts of Korvanta bio-impedance analysers, human and
equine models: the serial link, the stored tests, body composition, normal
ranges and the analyser's Bluetooth setup.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkorvantasdk-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION "Korvanta body-composition analysers: SDK development files
The C header of the Korvanta SDK library, its CMake package (KorvantaSDK),
its pkg-config file (korvanta-sdk), a C example and the reference manual
(HTML).")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME korvanta-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION science)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Korvanta body-composition analysers: command-line tool and simulator
korvanta reads a Korvanta analyser, downloads its stored tests as CSV, JSON
or an HL7 FHIR R4 bundle, keeps them in an archive and calculates results and
normal ranges; kv_simulator plays an analyser on a
pseudo-terminal, for trying hosts without hardware.")
include(CPack)
