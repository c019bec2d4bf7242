# Install layout and the package other CMake projects find with
# find_package(KestDicomView). The control library and its asset folder stay
# side by side, as in build/bin, because the library finds KestDicomAx/
# beside itself at run time.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KEST_INSTALL_CONTROLDIR ${CMAKE_INSTALL_LIBDIR} CACHE STRING
  "Install folder of the control library (its KestDicomAx/ folder goes beside it)")
set(KEST_INSTALL_ASSETDIR ${KEST_INSTALL_CONTROLDIR}/KestDicomAx)
set(KEST_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/KestDicomView)
# Static archives a host links (the automation layer) are private to the package.
set(KEST_INSTALL_ARCHIVEDIR ${CMAKE_INSTALL_LIBDIR}/KestDicomView)
set(KEST_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KestDicomView)

# kest_install_headers(<header>...)
# Installs headers of the current source folder under the header folder with
# their path from the source root, so "platform/automation/Variant.h" is
# included the same way inside and outside the tree.
function(kest_install_headers)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(header ${ARGN})
    get_filename_component(subfolder ${header} DIRECTORY)
    install(FILES ${header} DESTINATION ${KEST_INSTALL_INCLUDEDIR}/${folder}/${subfolder})
  endforeach()
endfunction()

# kest_install_public_headers(<header>...)
# Installs the headers a host includes itself at the top of the header folder,
# so that they are included as <KestDicomView/Name.h>, the way Qt's and KDE
# Frameworks' packages name theirs. The headers they include are installed
# with kest_install_headers and found through the header folder. A header that
# hosts used to include by its place in the source tree ("library/Name.h") keeps
# that place as a one-line header that includes the public one.
function(kest_install_public_headers)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  install(FILES ${ARGN} DESTINATION ${KEST_INSTALL_INCLUDEDIR})
  foreach(header ${ARGN})
    set(forward ${CMAKE_CURRENT_BINARY_DIR}/forwarding/${header})
    file(WRITE ${forward}
      "// This place is kept for hosts that include it; new code includes the header below.\n"
      "#pragma once\n#include <KestDicomView/${header}>\n")
    install(FILES ${forward} DESTINATION ${KEST_INSTALL_INCLUDEDIR}/${folder})
  endforeach()
endfunction()

# The exported targets (KestDicomView::<name>), the package configuration and
# its version file. Called once, after every folder has added its install rules.
function(kest_install_package)
  install(EXPORT KestDicomViewTargets
    NAMESPACE KestDicomView::
    DESTINATION ${KEST_INSTALL_CMAKEDIR})
  configure_package_config_file(
    ${PROJECT_SOURCE_DIR}/cmake/KestDicomViewConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KestDicomViewConfig.cmake
    INSTALL_DESTINATION ${KEST_INSTALL_CMAKEDIR}
    PATH_VARS KEST_INSTALL_ASSETDIR KEST_INSTALL_INCLUDEDIR)
  write_basic_package_version_file(
    ${PROJECT_BINARY_DIR}/KestDicomViewConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${PROJECT_BINARY_DIR}/KestDicomViewConfig.cmake
    ${PROJECT_BINARY_DIR}/KestDicomViewConfigVersion.cmake
    DESTINATION ${KEST_INSTALL_CMAKEDIR})
endfunction()
