# qs_delay_import_libraries(OUT dll...): for each system DLL file (user32.dll),
# an import library that binds the DLL on the first call of one of its
# functions instead of at process start, made with the toolchain's dlltool
# from the names the plain import library (libuser32.a) exports; OUT gets the
# libraries to link.
#
# A program that only parses documents never calls user32 or gdi32, yet
# binding them at start sets up the windowing and font system (about a tenth
# of a second per process under Wine). Where no such library can be made the
# plain name goes to OUT, and the DLL is bound at start as before.
function(qs_delay_import_libraries out)
  set(result)
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  foreach(dll IN LISTS ARGN)
    get_filename_component(name ${dll} NAME_WE)
    set(made "")
    if(MINGW AND CMAKE_DLLTOOL AND CMAKE_NM)
      find_library(QS_IMPORT_LIBRARY_${name} NAMES ${name})
      set(plain ${QS_IMPORT_LIBRARY_${name}})
    else()
      set(plain "")
    endif()
    if(plain)
      set(def ${dir}/${name}.def)
      set(lib ${dir}/lib${name}_delay.a)
      # Made again only when the plain import library changed.
      if(NOT EXISTS ${lib} OR ${plain} IS_NEWER_THAN ${lib})
        file(MAKE_DIRECTORY ${dir})
        execute_process(COMMAND ${CMAKE_NM} ${plain} OUTPUT_VARIABLE symbols
                        RESULT_VARIABLE nm_result ERROR_QUIET)
        # Each function of the DLL has its "__imp_" slot in the import library.
        string(REGEX MATCHALL "[^\n]* I __imp_[A-Za-z0-9_@]+" lines "${symbols}")
        set(names)
        foreach(line IN LISTS lines)
          string(REGEX REPLACE ".* I __imp_" "" function "${line}")
          list(APPEND names ${function})
        endforeach()
        list(REMOVE_DUPLICATES names)
        list(SORT names)
        if(nm_result EQUAL 0 AND names)
          list(JOIN names "\n" body)
          file(WRITE ${def} "LIBRARY ${dll}\nEXPORTS\n${body}\n")
          file(REMOVE ${lib})
          execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}
                                  --output-delaylib ${lib}
                          RESULT_VARIABLE dlltool_result ERROR_QUIET OUTPUT_QUIET)
          if(NOT dlltool_result EQUAL 0)
            file(REMOVE ${lib})
          endif()
        endif()
      endif()
      if(EXISTS ${lib})
        set(made ${lib})
      endif()
    endif()
    if(made)
      list(APPEND result ${made})
    else()
      list(APPEND result ${name})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
