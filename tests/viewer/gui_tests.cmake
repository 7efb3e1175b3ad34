# corvina.exe from outside: stand-ins for QSENGINE.DLL built from
# export_table.h, each in a folder of its own ("none" has none), a stand-in
# for the external editor, and the harness program. The "docs" stand-in
# also keeps documents and views (standin_engine.cpp says how).
set(standin_special QsInitialize QsTerminate QsSetCharset QsRegisterNotation QsSetCallback
    QsSetMainWindow QsOpenFileDialog QsGetCatalogFile QsDefWindowProc)
set(standin_documents QsParseDocument QsOpenBinaryDocument QsPushCatalog QsPopCatalog
    QsPushEntityrc QsPopEntityrc QsGetFileName QsGetDocStyleSheetTitle QsGetDocNavigatorTitle
    QsLoadStyleSheet QsLoadNavigator QsDisplay QsGetViewDocument QsGetViewStyleSheet
    QsGetViewNavigator QsDetachWindowView QsCloseDocument QsIsSameObject QsViewCommand
    QsGetNodeDocument QsGetWindowKind QsNodeAtPoint QsCreateTreeView QsReleaseHandle
    QsSaveDocumentBinary QsSearch QsClearHighlight QsGetSelectionLength QsGetSelectionText)
file(STRINGS ${CMAKE_SOURCE_DIR}/engine/api/export_table.h standin_lines REGEX "^QS_EXPORT")
set(standin_targets)
foreach(variant record wrongver nocmptl noslot docs)
  set(def "LIBRARY QSENGINE.dll\nEXPORTS\n")
  foreach(line IN LISTS standin_lines)
    if(line MATCHES "^QS_EXPORT\\(0[xX]([0-9A-Fa-f]+), *([0-9]+), *([A-Za-z0-9_]+)[,)]")
      set(hex "${CMAKE_MATCH_1}")
      set(bytes "${CMAKE_MATCH_2}")
      set(function "${CMAKE_MATCH_3}")
      string(TOLOWER "${hex}" hex)
      string(REGEX REPLACE "^0+([0-9a-f])" "\\1" hex "${hex}")
      if(variant STREQUAL "noslot" AND function STREQUAL "QsOpenWebText")
        continue()
      endif()
      if(function IN_LIST standin_special)
        set(internal ${function})
      elseif(variant STREQUAL "docs" AND function IN_LIST standin_documents)
        set(internal ${function})
      else()
        set(internal Standin_${function})
      endif()
      string(APPEND def "  \"_P${hex}@${bytes}\" = ${internal}\n")
    elseif(line MATCHES "^QS_EXPORT_PLAIN\\(([A-Za-z0-9_]+), *([0-9]+)[,)]")
      if(variant STREQUAL "nocmptl" AND CMAKE_MATCH_1 STREQUAL "QsGetCmptlNo")
        continue()
      endif()
      string(APPEND def "  \"_${CMAKE_MATCH_1}@${CMAKE_MATCH_2}\" = ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  set(def_file ${CMAKE_CURRENT_BINARY_DIR}/standin_${variant}.def)
  file(WRITE ${def_file}.new "${def}")
  file(COPY_FILE ${def_file}.new ${def_file} ONLY_IF_DIFFERENT)
  add_library(standin_${variant} SHARED standin_engine.cpp ${def_file})
  target_link_libraries(standin_${variant} PRIVATE gdi32 user32)
  target_include_directories(standin_${variant} PRIVATE ${CMAKE_SOURCE_DIR}/engine)
  if(variant STREQUAL "wrongver")
    target_compile_definitions(standin_${variant} PRIVATE STANDIN_COMPATIBILITY="980702")
  elseif(variant STREQUAL "nocmptl")
    target_compile_definitions(standin_${variant} PRIVATE STANDIN_NO_COMPATIBILITY)
  elseif(variant STREQUAL "docs")
    target_compile_definitions(standin_${variant} PRIVATE STANDIN_COMPATIBILITY="980701"
                               STANDIN_DOCUMENTS)
  else()
    target_compile_definitions(standin_${variant} PRIVATE STANDIN_COMPATIBILITY="980701")
  endif()
  set_target_properties(standin_${variant} PROPERTIES PREFIX "" OUTPUT_NAME QSENGINE
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/standin/${variant}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/standin-lib/${variant})
  list(APPEND standin_targets standin_${variant})
endforeach()

add_executable(arg_recorder WIN32 arg_recorder.cpp)
add_executable(viewer_gui_test viewer_gui_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/gui_harness.cpp
               ${CMAKE_SOURCE_DIR}/tests/support/gui_pixels.cpp)
target_include_directories(viewer_gui_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/support
                           ${CMAKE_SOURCE_DIR}/viewer ${CMAKE_SOURCE_DIR}/engine)
target_link_libraries(viewer_gui_test PRIVATE gtest_main ${QS_GTEST_LIBS} comctl32 user32 gdi32 advapi32)
add_dependencies(viewer_gui_test corvina corvaoe QSENGINE arg_recorder ${standin_targets})
qs_add_gui_test(viewer_gui COMMAND ${CMAKE_SOURCE_DIR}/tests/support/wine-desktop viewer 1024x768
  corvina.exe corvaoe.exe viewer_gui_test.exe -- /usr/lib/wine/wine64 $<TARGET_FILE:viewer_gui_test>)
# The PostgreSQL manual for the viewer to open, made once per source tree
# (the native table and formula checks use it too); without its source
# package the viewer's case does without it.
add_test(NAME postgres_manual
  COMMAND sh -c "\"$0\" >/dev/null || echo 'the PostgreSQL manual could not be made'"
          ${CMAKE_SOURCE_DIR}/scripts/make_postgres_manual)
set_tests_properties(postgres_manual PROPERTIES FIXTURES_SETUP postgres_manual TIMEOUT 900)
set_property(TEST viewer_gui APPEND PROPERTY FIXTURES_REQUIRED postgres_manual)
