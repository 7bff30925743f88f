# include_roots.cmake: kv_include_root, the include path of a library target. Each target gets a root of
# its own in the build tree that holds only links to its own sources, so "link/comm.h" resolves for
# targets that link kv_link and for no other: an include against the layering fails to compile.

# kv_include_root(target path [AS name]): include/<target>/<name> links to ${PROJECT_SOURCE_DIR}/<path>
# (a folder or one header; name defaults to path), and include/<target> joins the target's include path
# in the build tree (an installed target's include path is its install rules').
function(kv_include_root target path)
  cmake_parse_arguments(ARG "" "AS" "" ${ARGN})
  if(NOT ARG_AS)
    set(ARG_AS ${path})
  endif()
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${ARG_AS} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${ARG_AS} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${root}>)
  else()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  endif()
endfunction()
