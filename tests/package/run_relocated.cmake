# Installs the build into WORK_DIR/prefix, then checks that the prefix is self-contained: the
# shared libraries carry their version and SONAME, and pmtool finds its libraries and its bundled
# sample (<prefix>/share/pmlib/sample) both where it was installed and after the whole prefix
# has been moved elsewhere, where the Python package imports too (given PYTHON). Fails on the
# first check that fails.
include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

function(expect_equal actual expected what)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\nexpected: ${expected}\nactual:   ${actual}")
  endif()
endfunction()

# pmtool in `prefix`, without KORVAN_PATH, uses the sample of that prefix.
function(check_pmtool prefix)
  run(${prefix}/bin/pmtool --version)
  string(REGEX MATCH "installation: [^\n]*" line "${last_output}")
  expect_equal("${line}" "installation: ${prefix}/share/pmlib/sample (bundled sample)"
               "pmtool in ${prefix}")
  run(${prefix}/bin/pmtool parts alpha)
  expect_equal("${last_output}" "xcab12e\nxcab40e\n" "pmtool parts alpha in ${prefix}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(library pmport pmlib)
  set(file ${prefix}/lib/lib${library}.so.${VERSION})
  if(NOT EXISTS ${file} OR NOT EXISTS ${prefix}/lib/lib${library}.so)
    message(FATAL_ERROR "lib${library}.so.${VERSION} or its development link is not installed")
  endif()
  run(${READELF} -d ${file})
  string(REGEX MATCH "Library soname: \\[([^]]*)\\]" ignored "${last_output}")
  set(soname "${CMAKE_MATCH_1}")
  expect_equal("${soname}" "lib${library}.so.${SOVERSION}" "SONAME of lib${library}")
  if(NOT EXISTS ${prefix}/lib/${soname})
    message(FATAL_ERROR "no link ${soname} in ${prefix}/lib")
  endif()
endforeach()

unset(ENV{KORVAN_PATH})
check_pmtool(${prefix})
set(moved ${WORK_DIR}/moved/elsewhere)
file(MAKE_DIRECTORY ${WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
check_pmtool(${moved})

# The Python package finds libpmlib from its own folder in the moved prefix.
if(PYTHON)
  set(ENV{PYTHONPATH} ${moved}/lib/python3/dist-packages)
  set(ENV{KORVAN_PATH} ${moved}/share/pmlib/sample)
  run(${PYTHON} -c "import pmlib\nprint(pmlib.parse_part('XCAB40E-4-PQ208'))")
  expect_equal("${last_output}" "ab40epq208-4\n" "import pmlib from the moved prefix")
endif()
