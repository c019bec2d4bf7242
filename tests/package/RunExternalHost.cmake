# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DHOST_SOURCE_DIR=... -DWORK_DIR=... -DDICOM_FILE=...
#       -DEXPECTED_SIZE=WxH -DPACKAGE_VERSION=X.Y.Z [-DBUILD_TYPE=...] [-DCXX_COMPILER=...] [-DHOST_CXX_FLAGS=...]
#       [-DHOST_LINK_FLAGS=...] -P RunExternalHost.cmake
#
# Installs BUILD_DIR into a staging prefix, moves the prefix elsewhere (an
# installed package must not depend on where it was installed), checks the
# layout, configures and builds the host of HOST_SOURCE_DIR against the moved
# prefix with Ninja, runs it on DICOM_FILE, and checks which versions a
# find_package call accepts.

foreach(required BUILD_DIR SOURCE_DIR HOST_SOURCE_DIR WORK_DIR DICOM_FILE EXPECTED_SIZE
    PACKAGE_VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "${required} is not set")
  endif()
endforeach()

# Runs a command and stops the test with its output when it fails.
function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
endfunction()

function(require_file path)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "missing from the installed package: ${path}")
  endif()
endfunction()

set(staging ${WORK_DIR}/staging)
set(prefix ${WORK_DIR}/prefix)
set(host_build ${WORK_DIR}/host-build)
set(run_dir ${WORK_DIR}/run)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR} ${run_dir}/local ${run_dir}/common ${run_dir}/temp ${run_dir}/home)

run_step("installing" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${staging})
file(RENAME ${staging} ${prefix})

# The package files name neither the build nor the source folder nor the staging prefix.
file(GLOB_RECURSE package_files ${prefix}/*.cmake)
if(NOT package_files)
  message(FATAL_ERROR "no package configuration under ${prefix}")
endif()
foreach(file ${package_files})
  file(READ ${file} text)
  foreach(folder ${BUILD_DIR} ${SOURCE_DIR} ${staging})
    string(FIND "${text}" "${folder}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${file} names the absolute path ${folder}")
    endif()
  endforeach()
endforeach()

# The control library sits beside its asset folder, which holds the pages and the runtime.
file(GLOB_RECURSE control_library ${prefix}/libKestDicomViewControl.so)
list(LENGTH control_library count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one installed control library, found: ${control_library}")
endif()
get_filename_component(control_dir ${control_library} DIRECTORY)
foreach(asset libWebView2Loader.so Locale.ini KDVAX_MONO.dll KDVAX_SR.dll KDVAX_SR_FR.dll
    KDVAX_TAGS.dll KDVAX_DICOMDIR.dll KDVAX_DICOMDIR_FR.dll cornerstone.js cornerstoneMath.js
    cornerstoneTools.js cornerstoneWADOImageLoader.min.js dicomParser.js hammer.js
    imageScripts.js tagsScripts.js dicomdirScripts.js reportScripts.js)
  require_file(${control_dir}/KestDicomAx/${asset})
endforeach()

set(configure_args -S ${HOST_SOURCE_DIR} -B ${host_build} -G Ninja
  -DCMAKE_PREFIX_PATH=${prefix})
if(BUILD_TYPE)
  list(APPEND configure_args -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
if(CXX_COMPILER)
  list(APPEND configure_args -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
if(HOST_CXX_FLAGS)
  list(APPEND configure_args "-DCMAKE_CXX_FLAGS=${HOST_CXX_FLAGS}")
endif()
if(HOST_LINK_FLAGS)
  list(APPEND configure_args "-DCMAKE_EXE_LINKER_FLAGS=${HOST_LINK_FLAGS}")
endif()
run_step("configuring the host" ${CMAKE_COMMAND} ${configure_args})
run_step("building the host" ${CMAKE_COMMAND} --build ${host_build})

# The viewer's and the browser's working folders go into the run folder, not the user's.
set(picture ${run_dir}/shown.png)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env
    LOCALAPPDATA=${run_dir}/local ALLUSERSPROFILE=${run_dir}/common TEMP=${run_dir}/temp
    TMPDIR=${run_dir}/temp XDG_CONFIG_HOME=${run_dir}/home/config
    XDG_DATA_HOME=${run_dir}/home/data XDG_CACHE_HOME=${run_dir}/home/cache
    ${host_build}/kest_package_host ${DICOM_FILE} ${picture} 120
  WORKING_DIRECTORY ${run_dir}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "host output:\n${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the host exited with ${rc}:\n${out}\n${err}")
endif()
get_filename_component(file_name ${DICOM_FILE} NAME)
if(NOT out MATCHES "ImageLoaded [^\n]*${file_name} ${EXPECTED_SIZE}\n")
  message(FATAL_ERROR "the host did not report ${file_name} at ${EXPECTED_SIZE}:\n${out}")
endif()
require_file(${picture})

# A request for the same major version and at most the installed one is
# accepted; a newer minor or another major version is refused.
function(probe_version requested expect_found)
  set(probe ${WORK_DIR}/version-probe-${requested})
  file(WRITE ${probe}/CMakeLists.txt
    "cmake_minimum_required(VERSION 3.25)\n"
    "project(VersionProbe LANGUAGES CXX)\n"
    "find_package(KestDicomView ${requested} QUIET)\n"
    "message(STATUS \"found=\${KestDicomView_FOUND}\")\n")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${probe} -B ${probe}/build -DCMAKE_PREFIX_PATH=${prefix}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "found=([A-Za-z0-9]*)")
    message(FATAL_ERROR "probing version ${requested} failed:\n${out}\n${err}")
  endif()
  if(CMAKE_MATCH_1 AND NOT expect_found)
    message(FATAL_ERROR "find_package accepted version ${requested} of ${PACKAGE_VERSION}")
  elseif(NOT CMAKE_MATCH_1 AND expect_found)
    message(FATAL_ERROR "find_package refused version ${requested} of ${PACKAGE_VERSION}")
  endif()
endfunction()

string(REPLACE "." ";" version_parts ${PACKAGE_VERSION})
list(GET version_parts 0 major)
list(GET version_parts 1 minor)
math(EXPR next_major "${major} + 1")
math(EXPR next_minor "${minor} + 1")
probe_version(${PACKAGE_VERSION} TRUE)
probe_version(${major}.${minor} TRUE)
probe_version(${major}.${next_minor} FALSE)
probe_version(${next_major}.0 FALSE)
