# cross_header_packages.cmake: in a cross build, find_package(nlohmann_json) and find_package(CLI11)
# find the build machine's copies of these header-only libraries through a folder of links holding only
# their headers, so no other header of the build machine enters the Windows include path.

# kv_cross_header_package(package target folder): a config file for `package` in the build tree whose
# imported `target` includes <folder>/... from /usr/include; the version file is the installed one's.
function(kv_cross_header_package package target folder)
  set(host_version /usr/share/cmake/${package}/${package}ConfigVersion.cmake)
  if(NOT EXISTS /usr/include/${folder} OR NOT EXISTS ${host_version})
    message(FATAL_ERROR "${package} not found in /usr (see scripts/install-deps.sh)")
  endif()
  set(dir ${PROJECT_BINARY_DIR}/cross_packages/${package})
  file(MAKE_DIRECTORY ${dir}/include)
  file(CREATE_LINK /usr/include/${folder} ${dir}/include/${folder} SYMBOLIC)
  file(COPY_FILE ${host_version} ${dir}/${package}ConfigVersion.cmake ONLY_IF_DIFFERENT)
  file(CONFIGURE OUTPUT ${dir}/${package}Config.cmake CONTENT [[
if(NOT TARGET @target@)
  add_library(@target@ INTERFACE IMPORTED)
  set_target_properties(@target@ PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "@dir@/include")
endif()
]] @ONLY)
  set(${package}_DIR ${dir} CACHE PATH "Config folder of ${package} for the cross build" FORCE)
endfunction()

if(CMAKE_CROSSCOMPILING)
  kv_cross_header_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann)
  kv_cross_header_package(CLI11 CLI11::CLI11 CLI)
endif()
