# korvo_host_tool(<name> SOURCES <file>... [HEADERS <file>...])
#
# Builds a small code generator with the build machine's own C++ compiler, at
# configure time, so that a cross build (MinGW) can run it during the build.
# Its path is stored in the global property KORVO_HOST_TOOL_<name>. Editing a
# source or header re-runs the configure step, which rebuilds the tool.
function(korvo_host_tool name)
  cmake_parse_arguments(H "" "" "SOURCES;HEADERS" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    find_program(KORVO_HOST_CXX NAMES c++ g++ clang++ REQUIRED
                 DOC "C++ compiler for tools that run during a cross build")
    set(cxx ${KORVO_HOST_CXX})
  else()
    set(cxx ${CMAKE_CXX_COMPILER})
  endif()

  set(exe ${CMAKE_BINARY_DIR}/host-tools/${name}${CMAKE_HOST_EXECUTABLE_SUFFIX})
  set(stale FALSE)
  foreach(file IN LISTS H_SOURCES H_HEADERS)
    if(${file} IS_NEWER_THAN ${exe})
      set(stale TRUE)
    endif()
  endforeach()
  if(stale)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-tools)
    message(STATUS "Building host tool ${name} with ${cxx}")
    execute_process(
      COMMAND ${cxx} -std=c++17 -O1 -Wall -Wextra -Werror -I${PROJECT_SOURCE_DIR}
              -o ${exe} ${H_SOURCES}
      RESULT_VARIABLE result
      OUTPUT_VARIABLE output
      ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      file(REMOVE ${exe})
      message(FATAL_ERROR "Building host tool ${name} failed:\n${output}")
    endif()
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${H_SOURCES} ${H_HEADERS})
  set_property(GLOBAL PROPERTY KORVO_HOST_TOOL_${name} ${exe})
endfunction()
