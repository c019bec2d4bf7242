# kest_add_library(<name> [SHARED] <source>...)
# One library of the project: a static library (or a shared one) with its
# Kest::<name> alias, the source root as its include folder (once installed,
# the header folder and its parent, for <KestDicomView/...>) and the project's
# warnings.
function(kest_add_library name)
  cmake_parse_arguments(L "SHARED" "" "" ${ARGN})
  if(L_SHARED)
    add_library(${name} SHARED ${L_UNPARSED_ARGUMENTS})
  else()
    add_library(${name} STATIC ${L_UNPARSED_ARGUMENTS})
  endif()
  add_library(Kest::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${KEST_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  kest_project_target(${name})
endfunction()
