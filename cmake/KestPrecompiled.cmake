# Precompiled headers. Nearly every source of the project includes Qt's and the standard
# library's headers, whose parsing is about a third of a compile. Three precompiled headers are
# built once and shared by every project target: one for the libraries (position-independent
# code), one for the programs and one for the test programs, which adds GoogleTest and is made
# with the tests' own options. A header must be used with the options it was made with (GCC
# ignores it otherwise, and has crashed on an -O1 header in an -O2 compile), so each comes from
# a target built with its kind's options, and from one that links Qt Widgets: GCC uses it only
# where the Qt modules' macros are the same, in the targets that link Qt Widgets too. GCC only:
# clang refuses a header made with other macro definitions.

set(KEST_PCH_HEADERS <algorithm> <array> <cstdint> <functional> <memory> <optional> <utility>
  <vector> <QApplication> <QByteArray> <QDir> <QFile> <QFileInfo> <QHash> <QImage> <QJsonArray>
  <QJsonDocument> <QJsonObject> <QList> <QObject> <QRegularExpression> <QString> <QStringList>
  <QTimer> <QUrl> <QWidget>)

# The target whose precompiled header the others of its kind reuse: LIBRARY, PROGRAM or TEST.
function(kest_pch_source name kind)
  set(source ${CMAKE_BINARY_DIR}/${name}.cpp)
  set(headers ${KEST_PCH_HEADERS})
  if(kind STREQUAL "LIBRARY")
    file(WRITE ${source} "// The libraries' precompiled header is made with this target.\n")
    add_library(${name} OBJECT ${source})
  else()
    file(WRITE ${source} "int main() { return 0; }\n")
    add_executable(${name} ${source})
  endif()
  target_link_libraries(${name} PRIVATE Qt6::Widgets)
  if(kind STREQUAL "TEST")
    target_link_libraries(${name} PRIVATE GTest::gtest)
    target_compile_options(${name} PRIVATE ${KEST_TEST_COMPILE_OPTIONS})
    list(APPEND headers <gtest/gtest.h>)
  endif()
  target_precompile_headers(${name} PRIVATE ${headers})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
endfunction()

# Sets <result> to whether <target> links <wanted>, following the project's own libraries.
function(kest_links target wanted result)
  set(pending ${target})
  set(seen)
  while(pending)
    list(POP_FRONT pending current)
    if(current STREQUAL wanted)
      set(${result} ON PARENT_SCOPE)
      return()
    endif()
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
      continue()
    endif()
    get_target_property(imported ${current} IMPORTED)
    if(imported)
      continue()
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links ${current} ${property})
      if(links)
        list(APPEND pending ${links})
      endif()
    endforeach()
  endwhile()
  set(${result} OFF PARENT_SCOPE)
endfunction()

# Gives every target registered by kest_project_target that links Qt Widgets the shared
# precompiled header of its kind.
function(kest_precompile_headers)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  kest_pch_source(kest_pch_library LIBRARY)
  kest_pch_source(kest_pch_program PROGRAM)
  kest_pch_source(kest_pch_test TEST)
  get_property(targets GLOBAL PROPERTY KEST_PROJECT_TARGETS)
  get_property(tests GLOBAL PROPERTY KEST_TEST_PROGRAMS)
  foreach(target IN LISTS targets)
    kest_links(${target} Qt6::Widgets widgets)
    if(NOT widgets)
      continue()
    endif()
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
      target_precompile_headers(${target} REUSE_FROM kest_pch_library)
    elseif(target IN_LIST tests)
      target_precompile_headers(${target} REUSE_FROM kest_pch_test)
    else()
      target_precompile_headers(${target} REUSE_FROM kest_pch_program)
    endif()
  endforeach()
endfunction()
