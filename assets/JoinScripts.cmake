# cmake -DOUTPUT=<file> -DPARTS=<file;file...> -P JoinScripts.cmake
# Writes the parts one after another into one script, each after a line naming its source.
# Every part is a whole statement (a module that runs on load), so each keeps its meaning.
set(joined "// Made at build time from the page's modules; edit those, not this file.\n")
foreach(part IN LISTS PARTS)
  file(READ ${part} text)
  get_filename_component(name ${part} NAME)
  string(APPEND joined "\n// ---- ${name}\n${text}")
  if(NOT text MATCHES "\n$")
    string(APPEND joined "\n")
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp "${joined}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
