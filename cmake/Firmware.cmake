# Firmware libraries: one static library per firmware folder. Folders call
# each other in both directions (the Overview's "builds on" graph has
# cycles), so executables link them as one rescanned group.
set_property(GLOBAL PROPERTY VREC_FIRMWARE_LIBS "")

function(vrec_firmware_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Threads::Threads)
  set_property(GLOBAL APPEND PROPERTY VREC_FIRMWARE_LIBS ${name})
endfunction()

# Links the whole firmware into an executable. The seam implementation
# (board or device) is linked separately by the caller.
function(vrec_link_firmware target)
  get_property(libs GLOBAL PROPERTY VREC_FIRMWARE_LIBS)
  list(JOIN libs "," joined)
  target_link_libraries(${target} PRIVATE "$<LINK_GROUP:RESCAN,${joined}>")
  foreach(lib IN LISTS libs)
    get_target_property(deps ${lib} INTERFACE_LINK_LIBRARIES)
    if(deps)
      target_link_libraries(${target} PRIVATE ${deps})
    endif()
  endforeach()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
