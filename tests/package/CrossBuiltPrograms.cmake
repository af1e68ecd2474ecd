# Small real Windows programs of both kinds, built with the MinGW-w64
# compilers whatever this build targets, and placed beside the package tests
# that pack them as stand-ins for the launcher. A native build on a machine
# without those compilers leaves them out, and the tests that pack them are
# skipped with TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED as the reason.
set(TESSIT_CROSS_BUILT_PROGRAMS)
set(TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED)
find_program(TESSIT_pe32_CC NAMES i686-w64-mingw32-gcc-posix i686-w64-mingw32-gcc)
find_program(TESSIT_pe32plus_CC NAMES x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc)
if(NOT TESSIT_pe32_CC OR NOT TESSIT_pe32plus_CC)
  set(TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED
      "no MinGW-w64 compilers (i686-w64-mingw32-gcc, x86_64-w64-mingw32-gcc) were found when this build was configured")
  message(STATUS "Cross-built stand-in launchers left out: ${TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED}")
else()
  foreach(kind pe32 pe32plus)
    set(program ${CMAKE_CURRENT_BINARY_DIR}/tiny-${kind}.exe)
    add_custom_command(OUTPUT ${program}
      COMMAND ${TESSIT_${kind}_CC} -O2 -s -o ${program} ${CMAKE_CURRENT_SOURCE_DIR}/package/tiny-program.c
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/package/tiny-program.c
      COMMENT "Building the ${kind} stand-in launcher")
    list(APPEND TESSIT_CROSS_BUILT_PROGRAMS ${program})
  endforeach()
endif()
add_custom_target(tessit-cross-built-programs ALL DEPENDS ${TESSIT_CROSS_BUILT_PROGRAMS})

# A test program that packs the stand-ins: they are built before it, and it
# is told why they are missing (CrossBuiltPrograms.h).
function(tessit_use_cross_built_programs target)
  add_dependencies(${target} tessit-cross-built-programs)
  target_compile_definitions(${target} PRIVATE
    TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED="${TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED}")
endfunction()
