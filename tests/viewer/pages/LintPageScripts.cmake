# cmake -DSOURCE_DIR=<tree root> -P LintPageScripts.cmake
#
# Runs ESLint (eslint.config.js at the tree root) over the pages' scripts in
# assets/KestDicomAx; any finding, warnings included, fails. ./kest installs
# ESLint with the page libraries (npm ci), so a missing ESLint fails too.

if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
set(eslint ${SOURCE_DIR}/node_modules/.bin/eslint)
if(NOT EXISTS ${SOURCE_DIR}/node_modules/eslint/package.json OR NOT EXISTS ${eslint})
  message(FATAL_ERROR "ESLint is not installed in ${SOURCE_DIR}/node_modules: "
    "run 'npm ci --ignore-scripts' in ${SOURCE_DIR} (./kest does)")
endif()
execute_process(
  COMMAND ${eslint} --config ${SOURCE_DIR}/eslint.config.js --max-warnings 0 assets/KestDicomAx
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ESLint found problems in the page scripts (exit code ${rc})")
endif()
