# GoogleTest, and one way to register a test executable on either target.
#
# Natively the system's GoogleTest is used and each test case becomes its own
# ctest entry. For Windows, GoogleTest is built from the sources Debian ships,
# and each executable is one ctest entry run under Wine: every Wine start costs
# about two seconds, too much to pay per test case.

if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Built without the project's conventions: its own sources do not build
  # warning-free with -Werror under MinGW.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.12 defines the GTest:: names itself; older sources do not.
  foreach(t gtest gtest_main gmock)
    if(NOT TARGET GTest::${t})
      add_library(GTest::${t} ALIAS ${t})
    endif()
  endforeach()

  # A private Wine prefix for the tests, made once per build tree; the user's
  # own ~/.wine is never touched. It keeps Z: (the whole Unix tree) so that
  # test executables run from the build folder.
  set(WINE_TEST_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wine_prefix
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-env ${WINE_TEST_PREFIX} --keep-z)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# soramido_add_test(<target>): registers a GoogleTest executable.
function(soramido_add_test target)
  if(WIN32)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      FIXTURES_REQUIRED wine_prefix
      ENVIRONMENT "WINEPREFIX=${WINE_TEST_PREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml="
      TIMEOUT 600)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  endif()
endfunction()
