# find_package(GTest) for a cross build, where no GoogleTest for the target system is installed: it
# is built from source (Debian's googletest package) as part of the build. Read before the first
# project() call through -DCMAKE_PROJECT_TOP_LEVEL_INCLUDES=cmake/googletest-from-source.cmake.
set(QUORVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources that find_package(GTest) builds")

function(quorvel_add_googletest)
  if(NOT EXISTS ${QUORVEL_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${QUORVEL_GOOGLETEST_SOURCE} (apt-get install googletest)")
  endif()
  set(INSTALL_GTEST OFF)
  set(BUILD_GMOCK ON)
  # Its headers come in as system includes, as an installed GoogleTest's do: our warnings are not
  # about them.
  add_subdirectory(${QUORVEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
                   SYSTEM)
endfunction()

# A macro, so that GTest_FOUND is set where find_package was called.
macro(quorvel_googletest_provider method package)
  if("${package}" STREQUAL "GTest")
    if(NOT TARGET GTest::gtest)
      quorvel_add_googletest()
    endif()
    set(GTest_FOUND TRUE)
  endif()
endmacro()

cmake_language(SET_DEPENDENCY_PROVIDER quorvel_googletest_provider SUPPORTED_METHODS FIND_PACKAGE)
