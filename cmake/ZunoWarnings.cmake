# Every warning the compiler offers for our own targets. Whether a warning stops the build is
# not decided here: CMAKE_COMPILE_WARNING_AS_ERROR, which the presets and CI switch on, makes
# warnings errors; a packager with a newer compiler builds without it.
function(zuno_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
