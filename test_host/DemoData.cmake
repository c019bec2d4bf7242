# The demo folders beside the program, made from the Debian pydicom test data:
#   Demo/  a CT, an MR, a multi-frame dose grid, an RGB picture and a structured report, and
#          Phantom/, an axial series;
#   DEMO/  copies of the same files under media file IDs, with a DICOMDIR made by dcmmkdir.
set(KEST_PYDICOM_DATA /usr/lib/python3/dist-packages/pydicom/data/test_files
  CACHE PATH "Folder of the pydicom test files the demo data is copied from")
find_program(KEST_DCMMKDIR dcmmkdir)

# Source file in the pydicom data and its media file ID in DEMO/.
set(demo_files
  CT_small.dcm CT
  MR_small.dcm MR
  rtdose.dcm RTDOSE
  SC_rgb_small_odd.dcm RGB
  test-SR.dcm REPORT)

if(NOT EXISTS ${KEST_PYDICOM_DATA}/CT_small.dcm OR NOT KEST_DCMMKDIR)
  message(STATUS "Test demo data left out: python3-pydicom or dcmtk is not installed")
  return()
endif()

set(demo_dir ${KEST_BIN_DIR}/Demo)
set(media_dir ${KEST_BIN_DIR}/DEMO)
set(demo_outputs "")
set(media_ids "")
set(media_outputs "")
list(LENGTH demo_files count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET demo_files ${i} name)
  list(GET demo_files ${j} id)
  add_custom_command(OUTPUT ${demo_dir}/${name} ${media_dir}/${id}
    COMMAND ${CMAKE_COMMAND} -E copy ${KEST_PYDICOM_DATA}/${name} ${demo_dir}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${KEST_PYDICOM_DATA}/${name} ${media_dir}/${id}
    DEPENDS ${KEST_PYDICOM_DATA}/${name})
  list(APPEND demo_outputs ${demo_dir}/${name})
  list(APPEND media_ids ${id})
  list(APPEND media_outputs ${media_dir}/${id})
endforeach()

# The files lack a few attributes a DICOMDIR requires (a report has no study date, the dose grid
# is in implicit VR): dcmmkdir invents those records' attributes instead of refusing the files.
add_custom_command(OUTPUT ${media_dir}/DICOMDIR
  COMMAND ${CMAKE_COMMAND} -E rm -f DICOMDIR
  COMMAND ${KEST_DCMMKDIR} -q --invent --invent-patient-id --no-xfer-check
    --output-file DICOMDIR ${media_ids}
  WORKING_DIRECTORY ${media_dir}
  DEPENDS ${media_outputs})
# Demo/Phantom/: an axial CT series of 128 slices written with pydicom, a 3-D Shepp-Logan head
# phantom numbered from the top of the head down.
find_program(KEST_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(KEST_SYSTEM_PYTHON)
  set(phantom_last ${demo_dir}/Phantom/IM0128.dcm)
  add_custom_command(OUTPUT ${phantom_last}
    COMMAND ${KEST_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/make_phantom_series.py
      ${demo_dir}/Phantom 128
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_phantom_series.py)
  list(APPEND demo_outputs ${phantom_last})
endif()

add_custom_target(test_host_demo ALL DEPENDS ${demo_outputs} ${media_dir}/DICOMDIR)
add_dependencies(Test test_host_demo)
