# The Linux package (cpack -G DEB) and tarball carry tessit-pack in bin/ and
# the release launchers it builds onto with --target, templates rather than
# commands: this build's own tessit, a program of this machine's
# architecture, in lib/tessit/linux-x86_64/, and in share/tessit/<target>/
# the Windows ones (data here) named by TESSIT_WINDOWS_I686_LAUNCHER and
# TESSIT_WINDOWS_X86_64_LAUNCHER (the release builds' Tessit.exe;
# scripts/release.sh sets them).
set(TESSIT_WINDOWS_I686_LAUNCHER "" CACHE FILEPATH "The i686 Tessit.exe the Linux package carries")
set(TESSIT_WINDOWS_X86_64_LAUNCHER "" CACHE FILEPATH "The x86_64 Tessit.exe the Linux package carries")
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
endif()

set(CPACK_PACKAGE_NAME tessit)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Self-extracting launcher and its packer")
set(CPACK_PACKAGE_CONTACT "Tessit developers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
