# The Linux package (cpack -G DEB) and tarball, laid out below /usr:
#   bin/tessit-pack
#   lib/tessit/linux-x86_64/tessit                the launchers tessit-pack
#   share/tessit/windows-i686/Tessit.exe          builds onto with --target:
#   share/tessit/windows-x86_64/Tessit.exe        templates, not commands
#   share/man/man1/tessit-pack.1.gz, share/man/man7/tessit.7.gz
#   share/bash-completion/completions/tessit-pack
#   share/doc/tessit/copyright, share/doc/tessit/changelog.gz
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
  # page is docs/tessit.7. Pages and changelog are compressed as Debian's
  # policy asks (gzip -9, without name or time stamp). The tests read them
  # in TESSIT_DOCUMENTS.
  set(TESSIT_DOCUMENTS ${CMAKE_BINARY_DIR}/documents)
  set(changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
  add_custom_command(OUTPUT ${TESSIT_DOCUMENTS}/tessit-pack.1 ${TESSIT_DOCUMENTS}/tessit-pack.bash
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSIT_DOCUMENTS}
    COMMAND tessit-pack-manual ${CPACK_PACKAGING_INSTALL_PREFIX}/bin/tessit-pack
            ${TESSIT_DOCUMENTS}/tessit-pack.1 ${TESSIT_DOCUMENTS}/tessit-pack.bash
    DEPENDS tessit-pack-manual
    VERBATIM)
  set(compressed)
  foreach(file ${TESSIT_DOCUMENTS}/tessit-pack.1 ${PROJECT_SOURCE_DIR}/docs/tessit.7 ${changelog})
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
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${TESSIT_DOCUMENTS}/changelog.gz
          DESTINATION share/doc/tessit)

  # The changelog's newest entry is this version's, and its maintainers'
  # name and address are the package's.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
  file(STRINGS ${changelog} newest LIMIT_COUNT 1)
  file(STRINGS ${changelog} signature REGEX "^ -- " LIMIT_COUNT 1)
  if(NOT newest MATCHES "^tessit \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "${changelog} starts with \"${newest}\", not with the entry of tessit ${PROJECT_VERSION}")
  endif()
  if(NOT signature MATCHES "^ -- ([^<>]+ <[^<>@]+@[^<>@]+>)  ")
    message(FATAL_ERROR "${changelog}: its newest entry is not signed with a name and an address: \"${signature}\"")
  endif()
  set(CPACK_PACKAGE_CONTACT "${CMAKE_MATCH_1}")
endif()

set(CPACK_PACKAGE_NAME tessit)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting launcher for Windows and Linux, and its packer")
set(CPACK_PACKAGE_DESCRIPTION [[
Tessit is a self-extracting launcher: one executable that carries a
package of files appended to its own file, directly in front of its
code-signing certificate table, so that it stays signable. Started, it
writes the packaged files into the user's temporary folder, runs the
packaged installer, records the package's OEM number and starts the
packaged main tool.

This package holds tessit-pack, which builds such launchers and lists,
verifies (a signed launcher's Authenticode signature included) and
extracts their packages, and the release launchers it builds onto:
Tessit.exe for 32-bit and 64-bit Windows, and tessit for Linux.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
