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

# Each of them with a package, signed by osslsigncode once per digest
# algorithm, re-signed, with a nested signature, with the signature removed
# again, with an ECDSA key, without authenticated attributes (signed by
# openssl), with a second table entry, by a signer with hostile names, by
# one with names that need escaping, and forged as an attacker would
# (make-signed-packages.sh), in
# signed/ beside the tests; left out, with the reason in
# TESSIT_SIGNED_PACKAGES_SKIPPED, when the stand-ins or the signing tools are
# missing.
set(TESSIT_SIGNED_PACKAGES)
set(TESSIT_SIGNED_PACKAGES_SKIPPED ${TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED})
find_program(TESSIT_OSSLSIGNCODE osslsigncode)
find_program(TESSIT_OPENSSL openssl)
if(NOT TESSIT_SIGNED_PACKAGES_SKIPPED AND (NOT TESSIT_OSSLSIGNCODE OR NOT TESSIT_OPENSSL))
  set(TESSIT_SIGNED_PACKAGES_SKIPPED "osslsigncode and openssl were not both found when this build was configured")
  message(STATUS "Signed stand-in packages left out: ${TESSIT_SIGNED_PACKAGES_SKIPPED}")
endif()
if(NOT TESSIT_SIGNED_PACKAGES_SKIPPED)
  foreach(program ${TESSIT_CROSS_BUILT_PROGRAMS})
    get_filename_component(name ${program} NAME_WE)
    foreach(variant md5 sha1 sha256 sha384 sha512 resigned nested signature-removed forged-digest forged-attributes
                    ecdsa no-attributes second-entry hostile-signer escaped-signer)
      list(APPEND TESSIT_SIGNED_PACKAGES ${CMAKE_CURRENT_BINARY_DIR}/signed/${name}-${variant}.exe)
    endforeach()
  endforeach()
  add_custom_command(OUTPUT ${TESSIT_SIGNED_PACKAGES}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/make-signed-packages.sh ${CMAKE_CURRENT_BINARY_DIR}/signed
            ${TESSIT_CROSS_BUILT_PROGRAMS}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/package/make-signed-packages.sh
            ${CMAKE_CURRENT_SOURCE_DIR}/package/extract-signature.sh ${TESSIT_CROSS_BUILT_PROGRAMS}
    COMMENT "Signing packed stand-in launchers")
endif()
add_custom_target(tessit-signed-packages ALL DEPENDS ${TESSIT_SIGNED_PACKAGES})

# A test program that packs the stand-ins or reads the signed packages: they
# are built before it, and it is told why they are missing
# (CrossBuiltPrograms.h).
function(tessit_use_cross_built_programs target)
  add_dependencies(${target} tessit-cross-built-programs tessit-signed-packages)
  target_compile_definitions(${target} PRIVATE
    TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED="${TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED}"
    TESSIT_SIGNED_PACKAGES_SKIPPED="${TESSIT_SIGNED_PACKAGES_SKIPPED}")
endfunction()
