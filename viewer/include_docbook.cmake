# The installed home's entityrc includes the DocBook sample beside it, and
# its catalog the DTDs of Debian's docbook-xml (under Wine's Z: drive): the
# lines are added to the copies just made of the sample home's files, once.
function(append_once file line comment)
  file(READ ${file} text)
  string(FIND "${text}" "${line}" at)
  if(at EQUAL -1)
    file(APPEND ${file} "${comment}${line}\n")
  endif()
endfunction()

append_once(${ENTITYRC} "ENTITYRC \"..\\docbook\\entityrc\"" "-- DocBook XML manuals --\n")
foreach(version 4.1.2 4.2 4.3 4.4 4.5)
  set(comment "")
  if(version STREQUAL "4.1.2")
    set(comment "-- the DocBook XML DTDs of docbook-xml --\n")
  endif()
  append_once(${CATALOG}
    "CATALOG \"Z:\\usr\\share\\xml\\docbook\\schema\\dtd\\${version}\\catalog\"" "${comment}")
endforeach()
