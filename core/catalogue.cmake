# Sources of this folder are added to the libraries defined at the top level.

# The command lists are embedded into the program: each text file becomes a byte array
# in a source generated in the build tree. Editing a list re-runs the configure step
# (CMAKE_CONFIGURE_DEPENDS), and the source is rewritten only when its content changes.
set(catalogue_arrays "")
string(REPEAT "0x..," 16 sixteen_bytes)
foreach(name IN ITEMS Basic Set Read)
  string(TOLOWER ${name} file_name)
  set(list_file ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/${file_name}.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(READ ${list_file} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n" bytes "${bytes}")
  string(APPEND catalogue_arrays
    "// ${file_name}.txt, ${size} bytes\n"
    "extern const char k${name}List[] = {\n${bytes}0};\n"
    "extern const unsigned k${name}ListSize = ${size};\n\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/catalogue_lists.cpp
  CONTENT "// Generated from console/catalogue/*.txt by console/CMakeLists.txt; edit the text files.\n\nnamespace zuno::embedded {\n\n${catalogue_arrays}} // namespace zuno::embedded\n"
  @ONLY)

target_sources(zuno_core PRIVATE catalogue.cpp catalogue.h
  ${CMAKE_CURRENT_BINARY_DIR}/catalogue_lists.cpp)
target_sources(zuno_core PRIVATE commandextraction.cpp commandextraction.h)
target_sources(zuno_gui PRIVATE form3.cpp form3.h)
