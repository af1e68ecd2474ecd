# Small real Windows programs of both kinds, built with the MinGW-w64
# compilers whatever this build targets, and placed beside the package tests
# that pack them as stand-ins for the launcher.
set(TESSIT_CROSS_BUILT_PROGRAMS)
foreach(kind pe32 pe32plus)
  if(kind STREQUAL "pe32")
    set(triple i686-w64-mingw32)
  else()
    set(triple x86_64-w64-mingw32)
  endif()
  find_program(TESSIT_${kind}_CC NAMES ${triple}-gcc-posix ${triple}-gcc REQUIRED)
  set(program ${CMAKE_CURRENT_BINARY_DIR}/tiny-${kind}.exe)
  add_custom_command(OUTPUT ${program}
    COMMAND ${TESSIT_${kind}_CC} -O2 -s -o ${program} ${CMAKE_CURRENT_SOURCE_DIR}/package/tiny-program.c
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/package/tiny-program.c
    COMMENT "Building the ${kind} stand-in launcher")
  list(APPEND TESSIT_CROSS_BUILT_PROGRAMS ${program})
endforeach()
add_custom_target(tessit-cross-built-programs ALL DEPENDS ${TESSIT_CROSS_BUILT_PROGRAMS})
