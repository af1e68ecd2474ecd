# tessit_header_only_library(<target> <headers folder>)
#
# Makes <target>, an interface library whose users see the header-only
# library in <headers folder> (the folder their includes name, such as
# /usr/include/boost) as a system include. A native build takes the folder's
# parent; the cross builds see it through a folder of their own that holds
# nothing but it, so no Linux system header leaks into the Windows builds.
function(tessit_header_only_library target headers)
  get_filename_component(name ${headers} NAME)
  if(CMAKE_CROSSCOMPILING)
    set(include ${CMAKE_BINARY_DIR}/header-only/${target})
    file(MAKE_DIRECTORY ${include})
    file(CREATE_LINK ${headers} ${include}/${name} SYMBOLIC)
  else()
    get_filename_component(include ${headers} DIRECTORY)
  endif()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${include})
endfunction()
