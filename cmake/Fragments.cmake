# SPDX-License-Identifier: GPL-3.0-or-later
# A folder's sources come from its *.cmake fragments, one per unit, each appending explicit
# file names to the list named by LISTVAR. Builds one library from them (an interface
# library while a folder has no sources yet).
function(cb_library NAME LISTVAR)
  set(${LISTVAR} "")
  set(_links "")
  file(GLOB _frags CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(_f ${_frags})
    include(${_f})
  endforeach()
  if(${LISTVAR})
    add_library(${NAME} STATIC ${${LISTVAR}})
    target_include_directories(${NAME} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${NAME} PUBLIC ${ARGN} PRIVATE cb_warnings)
  else()
    add_library(${NAME} INTERFACE)
    target_include_directories(${NAME} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${NAME} INTERFACE ${ARGN})
  endif()
endfunction()
