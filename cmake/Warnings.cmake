# Every target links kelvo_warnings; warnings are errors everywhere.
add_library(kelvo_warnings INTERFACE)
add_library(kelvo::warnings ALIAS kelvo_warnings)
target_compile_options(kelvo_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wcast-align -Wnull-dereference
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>
  -Werror)
