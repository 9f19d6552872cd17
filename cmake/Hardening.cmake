# The hardening a Debian maintainer asks for (dpkg-buildflags hardening=+all)
# in every build, whoever configures it: the relay parses untrusted datagrams
# from the LAN as a daemon, and the other programs parse devices' replies.
# Sanitizer and fuzz builds bring their own instrumentation; fortify would
# hide the accesses they check, so they get everything but fortify.
# The flags are those of ELF systems; the Windows cross build has its own.
option(KELVO_HARDENING "Build with stack protector, fortify, RELRO, BIND_NOW and PIE" ON)
if(KELVO_HARDENING AND NOT WIN32)
  include(CheckCXXCompilerFlag)
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  check_cxx_compiler_flag(-fstack-clash-protection KELVO_HAVE_STACK_CLASH)
  if(KELVO_HAVE_STACK_CLASH)
    add_compile_options(-fstack-clash-protection)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
    add_compile_options(-fcf-protection)
  endif()
  # Fortify needs optimisation; without it glibc warns, and warnings are errors.
  if(KELVO_SANITIZE STREQUAL "" AND NOT KELVO_BUILD_FUZZ)
    add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  endif()
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()

# Reproducible builds: no build folder in the binaries or their debug data,
# so two builds of one commit in two folders give the same bytes. (The
# package build adds -Wdate-time, which keeps __DATE__ out.)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
