# Packages of the installed program folder: a .tar.gz on Linux, a .zip for
# Windows (native or the MinGW-w64 cross build). Each unpacks into one folder,
# lorewright/, the same folder `cmake --install` makes. Made by
# scripts/package.sh, or by `cpack` in a build folder whose program folder is built.
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" lw_package_system)
set(CPACK_PACKAGE_NAME lorewright)
set(CPACK_PACKAGE_VENDOR "The Lorewright developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Carries Morrowind plugins and meshes over to Oblivion")
set(lw_package_name lorewright-${PROJECT_VERSION}-${lw_package_system})
set(CPACK_PACKAGE_FILE_NAME ${lw_package_name})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  set(lw_package_generator ZIP)
  set(lw_package_file ${lw_package_name}.zip)
else()
  set(lw_package_generator TGZ)
  set(lw_package_file ${lw_package_name}.tar.gz)
endif()
set(CPACK_GENERATOR ${lw_package_generator})
# (CPack leaves its CPACK_ variables set for the source package afterwards.)
include(CPack)

# The package as a user gets it, unpacked into an empty folder, converts the
# demo plugin (the Windows one under Wine).
if(LW_BUILD_TESTS AND TARGET lw_demo_data)
  add_test(NAME Package.ConvertsTheDemoFromAnEmptyFolder
    COMMAND ${CMAKE_COMMAND}
      -DCPACK=${CMAKE_CPACK_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DGENERATOR=${lw_package_generator}
      -DPACKAGE=${lw_package_file} -DEXE=${CMAKE_EXECUTABLE_SUFFIX}
      -DRUN=${CMAKE_CROSSCOMPILING_EMULATOR} -DWORK=${CMAKE_BINARY_DIR}/tests/package-test
      -P ${CMAKE_SOURCE_DIR}/tests/demo/package_test.cmake)
  set_tests_properties(Package.ConvertsTheDemoFromAnEmptyFolder PROPERTIES LABELS demo TIMEOUT 900)
endif()
