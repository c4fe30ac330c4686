# Answers find_package(GTest) with GoogleTest built from source, for cross
# builds where no GoogleTest for the target is installed. The source folder is
# LW_GOOGLETEST_SOURCE (default: Debian's /usr/src/googletest).
set(LW_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources used by the cross build")

macro(lw_provide_googletest method name)
  if("${name}" STREQUAL "GTest")
    if(NOT TARGET gtest)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
      add_subdirectory(${LW_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
      # Third-party code: the project's warnings-as-errors do not apply to it.
      foreach(lw_gtest_target gtest gtest_main)
        get_target_property(lw_gtest_options ${lw_gtest_target} COMPILE_OPTIONS)
        if(lw_gtest_options)
          list(REMOVE_ITEM lw_gtest_options -Werror -Wconversion -Wshadow -Wpedantic)
          set_target_properties(${lw_gtest_target} PROPERTIES COMPILE_OPTIONS "${lw_gtest_options}")
        endif()
      endforeach()
      # Newer GoogleTest defines these names itself.
      if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
      endif()
      if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest_main ALIAS gtest_main)
      endif()
    endif()
    set(GTest_FOUND TRUE)
    set(GTEST_FOUND TRUE)
  endif()
endmacro()

cmake_language(SET_DEPENDENCY_PROVIDER lw_provide_googletest SUPPORTED_METHODS FIND_PACKAGE)
