# The tests' shared temporary folder: MODE=prepare empties it before the first test,
# MODE=check fails when a test left anything in it, then removes it.
#   cmake -DFOLDER=<folder> -DMODE=prepare|check -P KestTestTemp.cmake
if(MODE STREQUAL "prepare")
  file(REMOVE_RECURSE "${FOLDER}")
  file(MAKE_DIRECTORY "${FOLDER}")
  return()
endif()

file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${FOLDER}" "${FOLDER}/*")
file(REMOVE_RECURSE "${FOLDER}")
if(left)
  list(SORT left)
  list(LENGTH left count)
  list(SUBLIST left 0 40 shown)
  list(JOIN shown "\n  " shown)
  message(FATAL_ERROR "the tests left ${count} temporary files and folders behind:\n  ${shown}")
endif()
