# Firmware update packages made from the build.
#
# make package writes ${CMAKE_BINARY_DIR}/package/KS7_FW_<version>.bin from
# `app`. The firmware's version (g_szVersionSystem) is the build setting
# VREC_VERSION_SYSTEM; the tests also link the firmware under the next
# version (`app_newer`) and pack it, so that an update to a newer version
# can be installed and checked on a board.

add_executable(vrec-package tools/package/Main.cpp)
target_link_libraries(vrec-package PRIVATE vrec_board_core)
target_include_directories(vrec-package PRIVATE ${PROJECT_SOURCE_DIR})

# vrec_add_update_package(target app version folder): a target that packs
# `app` (and the working directory) as version `version` into folder. It
# runs every time it is built, as the working directory has many inputs.
function(vrec_add_update_package target app version folder)
  set(out ${folder}/KS7_FW_${version}.bin)
  add_custom_target(${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND vrec-package --version ${version} --app $<TARGET_FILE:${app}> --approot ${VREC_APP_ROOT}
            --strip ${CMAKE_STRIP} --out ${out}
    DEPENDS vrec-package ${app} vrec_approot
    BYPRODUCTS ${out}
    COMMENT "Update package ${out}"
    VERBATIM)
endfunction()

vrec_add_update_package(update_package app ${VREC_VERSION_SYSTEM} ${CMAKE_BINARY_DIR}/package)

# The next version: the first field plus one ("0101.0137" -> "0102.0137").
string(REGEX MATCH "^0*([0-9]+)([._].*)$" matched "${VREC_VERSION_SYSTEM}")
math(EXPR next_number "${CMAKE_MATCH_1} + 1")
string(LENGTH "${next_number}" next_length)
if(next_length LESS 4)
  math(EXPR pad "4 - ${next_length}")
  string(REPEAT "0" ${pad} zeros)
  set(next_number "${zeros}${next_number}")
endif()
set(VREC_VERSION_NEWER "${next_number}${CMAKE_MATCH_2}")

add_library(vrec_version_newer OBJECT Lib/Version.cpp)
target_include_directories(vrec_version_newer PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(vrec_version_newer PRIVATE VREC_VERSION_SYSTEM="${VREC_VERSION_NEWER}")
# Its object defines the version before the firmware libraries are searched,
# so the default version's member is never taken from them.
add_executable(app_newer EXCLUDE_FROM_ALL main.cpp $<TARGET_OBJECTS:vrec_version_newer>)
vrec_link_firmware(app_newer)
target_link_libraries(app_newer PRIVATE vrec_board)
vrec_add_update_package(update_package_newer app_newer ${VREC_VERSION_NEWER} ${CMAKE_BINARY_DIR}/package-newer)
set(VREC_PACKAGE_NEWER ${CMAKE_BINARY_DIR}/package-newer/KS7_FW_${VREC_VERSION_NEWER}.bin)
