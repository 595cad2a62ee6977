# GoogleTest for the tests: the system's library natively, and built from the
# Debian sources for the cross target. Sets TESMORA_GTEST (with main) and
# TESMORA_GTEST_NO_MAIN.
if(CMAKE_CROSSCOMPILING)
  # GoogleTest from the Debian sources, built for the target.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TESMORA_GTEST gtest_main)
  set(TESMORA_GTEST_NO_MAIN gtest)
else()
  find_package(GTest REQUIRED)
  set(TESMORA_GTEST GTest::gtest_main)
  set(TESMORA_GTEST_NO_MAIN GTest::gtest)
endif()
