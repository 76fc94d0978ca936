# The layers, held by the build. Every library has an include root of its
# own in the build folder that shows only its own headers, under the folder
# name the code writes ("store/table.h"): each is a one-line header that
# includes the real one. A target's include path is then its own root and
# the roots of the libraries it links, so a header of a library it does not
# link, a layer above it above all, is not found and the include fails to
# build. Nothing exports the whole of src/.
#
# vddb_headers(<target> [<header>...]) gives <target> its root: the named
# headers of the current folder, or, with none named, every header there.
function(vddb_headers target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  if(ARGN)
    set(headers ${ARGN})
  else()
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  set(made)
  foreach(h ${headers})
    file(RELATIVE_PATH real ${root}/${folder} ${CMAKE_CURRENT_SOURCE_DIR}/${h})
    # Written only when it changes, so that a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${root}/${folder}/${h} CONTENT "#pragma once\n#include \"${real}\"\n" @ONLY)
    list(APPEND made ${root}/${folder}/${h})
  endforeach()
  # A header gone from the folder leaves no stand-in behind.
  file(GLOB old ${root}/${folder}/*.h)
  foreach(f ${old})
    if(NOT f IN_LIST made)
      file(REMOVE ${f})
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
