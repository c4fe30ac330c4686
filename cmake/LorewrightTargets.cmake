# lw_folder_library(<target> <folder>): a static library of every .cpp below the
# folder (platform-specific files chosen by their folder name: posix/ or windows/).
# A folder with no sources yet gets no target.
function(lw_folder_library target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "/posix/")
  else()
    list(FILTER sources EXCLUDE REGEX "/windows/")
  endif()
  if(NOT sources)
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# lw_link_group(<target> <libs...>): an interface target that links the given
# static libraries as one group, so libraries that call each other resolve.
function(lw_link_group target)
  add_library(${target} INTERFACE)
  set(libs ${ARGN})
  list(JOIN libs "," joined)
  target_link_libraries(${target} INTERFACE "$<LINK_GROUP:RESCAN,${joined}>")
endfunction()
