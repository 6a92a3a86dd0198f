# korvo_install_man(<page.N> COMPONENT <component>)
#
# Installs a hand-written manual page into man/manN, compressed the way
# Debian wants it (gzip -9n: no name, no time stamp, so the file is the same
# on every build). Systems without man pages (Windows) get none.
function(korvo_install_man page)
  cmake_parse_arguments(M "" "COMPONENT" "" ${ARGN})
  if(WIN32)
    return()
  endif()
  get_filename_component(source ${page} ABSOLUTE)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE ".*\\.([1-9])$" "\\1" section ${name})
  set(compressed ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${name}")
  add_custom_target(man_${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${M_COMPONENT})
endfunction()
