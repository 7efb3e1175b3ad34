# cmake -DTABLE=export_table.h -DOUTPUT=QSENGINE.def -DLIBRARY=QSENGINE -P GenerateDef.cmake
# Reads the number, argument bytes and function of every QS_EXPORT line and
# the function and bytes of every QS_EXPORT_PLAIN line; further fields of a
# line are for the C++ side.
file(STRINGS "${TABLE}" lines REGEX "^QS_EXPORT")
set(def "LIBRARY ${LIBRARY}\nEXPORTS\n")
foreach(line IN LISTS lines)
  if(line MATCHES "^QS_EXPORT\\(0[xX]([0-9A-Fa-f]+), *([0-9]+), *([A-Za-z0-9_]+)[,)]")
    set(bytes "${CMAKE_MATCH_2}")
    set(function "${CMAKE_MATCH_3}")
    string(TOLOWER "${CMAKE_MATCH_1}" hex)
    string(REGEX REPLACE "^0+([0-9a-f])" "\\1" hex "${hex}")
    string(APPEND def "  \"_P${hex}@${bytes}\" = ${function}\n")
  elseif(line MATCHES "^QS_EXPORT_PLAIN\\(([A-Za-z0-9_]+), *([0-9]+)[,)]")
    string(APPEND def "  \"_${CMAKE_MATCH_1}@${CMAKE_MATCH_2}\" = ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE "${OUTPUT}.new" "${def}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
