# kelvo_library(<target> <alias> [QT] <sources>... [POSIX <sources>...]
#               [WIN32 <sources>...]): a static library of the calling folder
# under its kelvo:: alias, with the folder on the include path of whoever
# links it and the project's warnings. The POSIX or the WIN32 sources are
# added as the target system asks. Qt code generation stays off unless QT is
# given (a folder with Qt objects, forms or resources).
function(kelvo_library target alias)
  cmake_parse_arguments(PARSE_ARGV 2 arg "QT" "" "POSIX;WIN32")
  add_library(${target} STATIC ${arg_UNPARSED_ARGUMENTS})
  add_library(${alias} ALIAS ${target})
  if(WIN32 AND arg_WIN32)
    target_sources(${target} PRIVATE ${arg_WIN32})
  elseif(NOT WIN32 AND arg_POSIX)
    target_sources(${target} PRIVATE ${arg_POSIX})
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE kelvo::warnings)
  if(NOT arg_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  endif()
endfunction()
