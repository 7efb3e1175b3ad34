# Test programs: one per subsystem or deliverable.
#   qs_add_gtest(NAME SOURCES ... [LIBS ...])
# Under Wine each program is one test (a Wine process start costs time); the
# native build lists every GoogleTest case on its own.

if(QS_WINDOWS)
  set(QS_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(QS_WINE_ENV WINEPREFIX=${QS_WINEPREFIX} WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ${QS_WINE_ENV} /usr/lib/wine/wine64)

  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(QS_GTEST_LIBS gtest gmock)

  # Holds the prefix's default desktop open through the run (see the program).
  add_executable(desktop_keeper ${CMAKE_SOURCE_DIR}/tests/support/desktop_keeper.cpp)
  add_test(NAME wine_setup COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix setup ${QS_WINEPREFIX}
           $<TARGET_FILE:desktop_keeper>)
  set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine_cleanup COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix cleanup ${QS_WINEPREFIX})
  set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  set(QS_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

# A GoogleTest program over the given sources. With ENGINE it links the
# engine's code and a main that fails any test raising a message box it did
# not expect (no test may block on a modal box); without, GoogleTest's main.
function(qs_add_gtest name)
  cmake_parse_arguments(T "ENGINE" "" "SOURCES;LIBS" ${ARGN})
  if(T_ENGINE)
    add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
    target_link_libraries(${name} PRIVATE qsengine_core)
  else()
    add_executable(${name} ${T_SOURCES})
    if(QS_WINDOWS)
      target_link_libraries(${name} PRIVATE gtest_main)
    else()
      target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${QS_GTEST_LIBS})
  if(QS_WINDOWS)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
      ENVIRONMENT "QS_SOURCE_DIR=${CMAKE_SOURCE_DIR};QS_BINARY_DIR=${CMAKE_BINARY_DIR}")
  else()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      PROPERTIES ENVIRONMENT "QS_SOURCE_DIR=${CMAKE_SOURCE_DIR};QS_BINARY_DIR=${CMAKE_BINARY_DIR}"
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# A test that opens windows: runs under its own virtual X display, one at a
# time (Wine's virtual desktop binds to the display of its first program).
#   qs_add_gui_test(NAME COMMAND ...)
function(qs_add_gui_test name)
  cmake_parse_arguments(T "" "" "COMMAND" ${ARGN})
  add_test(NAME ${name}
    COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/env ${QS_WINE_ENV} ${T_COMMAND}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  # The label lets scripts/test give these, and only these, a second run.
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display LABELS gui
    ENVIRONMENT "QS_SOURCE_DIR=${CMAKE_SOURCE_DIR};QS_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
