# The installed home's entityrc includes the DocBook sample beside it: the
# line is added to the copy just made of the sample home's file, once.
set(line "ENTITYRC \"..\\docbook\\entityrc\"")
file(READ ${ENTITYRC} text)
string(FIND "${text}" "${line}" at)
if(at EQUAL -1)
  file(APPEND ${ENTITYRC} "-- DocBook XML manuals --\n${line}\n")
endif()
