# The package as a user gets it: made by CPack, unpacked into an empty folder,
# and the demo plugin converted with the unpacked programs (standard input
# closed). Run by CTest: cmake -DCPACK= -DBUILD= -DGENERATOR= -DPACKAGE=<file> -DEXE=
# -DRUN=<emulator or empty> -DWORK= -P package_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/unpacked ${WORK}/demo)
file(WRITE ${WORK}/no-input "")

# Runs a command in a folder; any exit status but 0 fails the test with the output.
function(run_in dir)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${dir} INPUT_FILE ${WORK}/no-input
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "${ARGN}\nexited with ${status}:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Paths handed to a Windows program under Wine go through its drive Z:, which is /.
if(RUN)
  set(drive "Z:")
endif()

run_in(${WORK} ${CPACK} --config ${BUILD}/CPackConfig.cmake -G ${GENERATOR} -B ${WORK}/packages)
set(archive ${WORK}/packages/${PACKAGE})
if(NOT EXISTS ${archive} OR NOT PACKAGE MATCHES "^lorewright-[0-9]+\\.[0-9]+")
  message(FATAL_ERROR "no package named with the version: ${archive}")
endif()
run_in(${WORK}/unpacked ${CMAKE_COMMAND} -E tar xf ${archive})

set(folder ${WORK}/unpacked/lorewright)
set(expected modshift${EXE} meshshift${EXE} README.md LICENSE meshshift.ini bhktemp.nif template_n.dds
    iconWeap.dds eyeblack.dds statics.ini creatures.ini faces/Heads.ini faces/zero.fg faces/Nord.fgs)
if(EXISTS ${BUILD}/bin/lorereport${EXE})
  list(APPEND expected lorereport${EXE})
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${folder}/${file})
    message(FATAL_ERROR "the package lacks ${file}")
  endif()
endforeach()

run_in(${WORK} ${RUN} ${BUILD}/tools/lw_demo_data${EXE} generate ${drive}${WORK}/demo ${drive}${folder})
run_in(${WORK}/demo ${RUN} ${WORK}/demo/program/modshift${EXE} "Morrowind/Data Files/LorewrightDemo.esp")
set(plugin "${WORK}/demo/Morrowind/Data Files/LorewrightDemo_ob.esp")
if(NOT out MATCHES "Save Done\\." OR NOT EXISTS ${plugin})
  message(FATAL_ERROR "the unpacked modshift wrote no plugin:\n${out}")
endif()
if("lorereport${EXE}" IN_LIST expected)
  run_in(${WORK}/demo ${RUN} ${WORK}/demo/program/lorereport${EXE} "Morrowind/Data Files/LorewrightDemo_ob.esp")
endif()
