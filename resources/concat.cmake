# Joins the help parts, given as one '|'-separated list, into the help file.
string(REPLACE "|" ";" parts "${INPUTS}")
file(WRITE ${OUTPUT} "")
foreach(part IN LISTS parts)
  file(READ ${part} text)
  file(APPEND ${OUTPUT} "${text}")
endforeach()
