include(GNUInstallDirs)

# A module that `loader` opens at run time: installed in lib/zuno (the ZUNO_INSTALL_DIR property
# tells the package checks where), and found beside the programs once installed or in the build
# tree otherwise, through the definitions <NAME>_MODULE_FROM_PROGRAMS (relative to the programs'
# folder) and <NAME>_MODULE_IN_BUILD compiled into `loader`.
function(zuno_runtime_module target loader name)
  set(dir lib/zuno)
  install(TARGETS ${target} LIBRARY DESTINATION ${dir})
  set_property(TARGET ${target} PROPERTY ZUNO_INSTALL_DIR ${dir})
  file(RELATIVE_PATH from_programs ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${dir}/$<TARGET_FILE_NAME:${target}>)
  target_compile_definitions(${loader} PRIVATE
    ${name}_MODULE_FROM_PROGRAMS="${from_programs}"
    ${name}_MODULE_IN_BUILD="$<TARGET_FILE:${target}>")
  add_dependencies(${loader} ${target})
endfunction()
