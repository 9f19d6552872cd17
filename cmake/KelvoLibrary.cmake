# kelvo_library(<target> <alias> <sources>...): a static library of the
# calling folder under its kelvo:: alias, with the folder on the include path
# of whoever links it, the project's warnings, and no Qt code generation (a
# folder with forms or resources turns that back on itself).
function(kelvo_library target alias)
  add_library(${target} STATIC ${ARGN})
  add_library(${alias} ALIAS ${target})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE kelvo::warnings)
  set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
