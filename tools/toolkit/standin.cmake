# Puts a stand-in where the program looks for it: below the build folder,
# which is the program's folder, at the path the program names (folder and
# file, ".exe" dropped).
# ALIASES are further names in the same folder (the 64-bit variants), made as
# symbolic links to the one program.
include_guard(GLOBAL)
add_custom_target(dp_tools)

function(dp_standin target folder file)
  cmake_parse_arguments(ARG "" "" "ALIASES" ${ARGN})
  set(dir ${CMAKE_BINARY_DIR})
  if(folder)
    set(dir ${dir}/${folder})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir} OUTPUT_NAME ${file})
  target_link_libraries(${target} PRIVATE dp_toolkit)
  foreach(alias ${ARG_ALIASES})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E create_symlink ${file} ${dir}/${alias})
  endforeach()
  add_dependencies(dp_tools ${target})
endfunction()
