# Each library shows the code that links it its own headers and no others.
# They are linked, at the paths they have in the sources, into a folder of
# the library's own in the build tree, and that folder is the library's one
# public include folder: code that includes a header of a layer it doesn't
# link doesn't build. Patterns are relative to the source root.
function(veltrane_export_headers target)
  set(root ${PROJECT_BINARY_DIR}/exports/${target})
  file(REMOVE_RECURSE ${root})
  foreach(pattern IN LISTS ARGN)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${pattern})
    if(NOT headers)
      message(FATAL_ERROR "${target}: no header matches ${pattern}")
    endif()
    foreach(header IN LISTS headers)
      get_filename_component(folder ${root}/${header} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${root}/${header} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
