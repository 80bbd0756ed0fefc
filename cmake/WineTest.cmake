# Windows cross build: builds GoogleTest from the distribution's sources with the cross compiler,
# so that the tests' find_package(GTest) finds Windows libraries instead of the host's.
# Runs right after project(), before the options are declared: only an explicit OFF counts.
if((DEFINED KESTRUM_BUILD_TESTS AND NOT KESTRUM_BUILD_TESTS) OR KESTRUM_FUZZ OR TARGET GTest::gtest)
    return()
endif()

set(KESTRUM_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")
if(NOT EXISTS ${KESTRUM_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${KESTRUM_GOOGLETEST_SOURCE} "
                        "(Debian package googletest)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRUM_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

# GoogleTest's own targets already carry the GTest:: aliases; a redirect file makes
# find_package(GTest) accept them without looking for an installed copy.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
     "# GoogleTest is part of this build (cross-compiled from source).\nset(GTest_FOUND TRUE)\n")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config-version.cmake
     "set(PACKAGE_VERSION 1.12.1)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
