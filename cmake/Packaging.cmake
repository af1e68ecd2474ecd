# The Linux package (cpack -G DEB) and tarball, laid out below /usr:
#   bin/tessit-pack
#   lib/tessit/linux-x86_64/tessit                the launchers tessit-pack
#   share/tessit/windows-i686/Tessit.exe          builds onto with --target:
#   share/tessit/windows-x86_64/Tessit.exe        templates, not commands
#   share/man/man1/tessit-pack.1.gz, share/man/man7/tessit.7.gz
#   share/bash-completion/completions/tessit-pack
# The Linux launcher is this build's tessit, a program of this machine's
# architecture, hence lib/; the Windows ones are data here, named by
# TESSIT_WINDOWS_I686_LAUNCHER and TESSIT_WINDOWS_X86_64_LAUNCHER (the
# release builds' Tessit.exe; scripts/release.sh sets them).
set(TESSIT_WINDOWS_I686_LAUNCHER "" CACHE FILEPATH "The i686 Tessit.exe the Linux package carries")
set(TESSIT_WINDOWS_X86_64_LAUNCHER "" CACHE FILEPATH "The x86_64 Tessit.exe the Linux package carries")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
if(NOT WIN32)
  install(PROGRAMS $<TARGET_FILE:tessit> DESTINATION lib/tessit/linux-x86_64)
  foreach(target windows-i686 windows-x86_64)
    string(TOUPPER ${target} variable)
    string(REPLACE "-" "_" variable TESSIT_${variable}_LAUNCHER)
    if(${variable})
      install(FILES ${${variable}} DESTINATION share/tessit/${target})
    else()
      message(STATUS "The Linux package leaves out the ${target} launcher: ${variable} is not set")
    endif()
  endforeach()

  # tessit-pack's manual page and completion are made from its command line
  # as it is built, for the package's /usr/bin/tessit-pack; the launchers'
  # page is docs/tessit.7. Pages are compressed as Debian's policy asks
  # (gzip -9, without name or time stamp). The tests read them in
  # TESSIT_DOCUMENTS.
  set(TESSIT_DOCUMENTS ${CMAKE_BINARY_DIR}/documents)
  add_custom_command(OUTPUT ${TESSIT_DOCUMENTS}/tessit-pack.1 ${TESSIT_DOCUMENTS}/tessit-pack.bash
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSIT_DOCUMENTS}
    COMMAND tessit-pack-manual ${CPACK_PACKAGING_INSTALL_PREFIX}/bin/tessit-pack
            ${TESSIT_DOCUMENTS}/tessit-pack.1 ${TESSIT_DOCUMENTS}/tessit-pack.bash
    DEPENDS tessit-pack-manual
    VERBATIM)
  set(compressed)
  foreach(file ${TESSIT_DOCUMENTS}/tessit-pack.1 ${PROJECT_SOURCE_DIR}/docs/tessit.7)
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${TESSIT_DOCUMENTS}/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSIT_DOCUMENTS}
      COMMAND sh -c [[gzip -9nc "$1" >"$2"]] sh ${file} ${TESSIT_DOCUMENTS}/${name}.gz
      DEPENDS ${file}
      VERBATIM)
    list(APPEND compressed ${TESSIT_DOCUMENTS}/${name}.gz)
  endforeach()
  # The release builds make only tessit and tessit-pack: the documents come
  # with tessit-pack.
  add_custom_target(tessit-documents DEPENDS ${compressed} ${TESSIT_DOCUMENTS}/tessit-pack.bash)
  add_dependencies(tessit-pack tessit-documents)
  install(FILES ${TESSIT_DOCUMENTS}/tessit-pack.1.gz DESTINATION share/man/man1)
  install(FILES ${TESSIT_DOCUMENTS}/tessit.7.gz DESTINATION share/man/man7)
  install(FILES ${TESSIT_DOCUMENTS}/tessit-pack.bash DESTINATION share/bash-completion/completions RENAME tessit-pack)
endif()

set(CPACK_PACKAGE_NAME tessit)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Self-extracting launcher and its packer")
set(CPACK_PACKAGE_CONTACT "Tessit developers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
