# Include roots that hold the layers. A library does not export the source tree: it exports a
# directory of its own in the build tree holding symbolic links to exactly the folders (or single
# headers) its users may include, e.g. <build>/include/ui/ui -> <source>/ui. A file reaches
# "ui/..." only when its target links ui, so an include against the layers does not compile.
#
#   wristboat_include_root(<target> <PUBLIC|PRIVATE|INTERFACE> <path>...)
#
# Each <path> is relative to WRISTBOAT_ROOT (the project's source root).
function(wristboat_include_root target scope)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(entry IN LISTS ARGN)
    if(NOT EXISTS ${WRISTBOAT_ROOT}/${entry})
      message(FATAL_ERROR "wristboat_include_root(${target}): no ${WRISTBOAT_ROOT}/${entry}")
    endif()
    get_filename_component(parent ${root}/${entry} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${WRISTBOAT_ROOT}/${entry} ${root}/${entry} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
