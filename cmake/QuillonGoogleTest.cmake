# GoogleTest for a cross build: Debian ships its sources (googletest package,
# /usr/src/googletest), built here with the same compiler as the program.
set(QUILLON_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS ${QUILLON_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${QUILLON_GOOGLETEST_SOURCE} (./scripts/setup installs them)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# It names its targets GTest::gtest and GTest::gtest_main, as the installed
# package does.
add_subdirectory(${QUILLON_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
