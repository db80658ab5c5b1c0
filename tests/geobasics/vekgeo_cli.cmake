# Runs the geodesy commands of the vekgeo tool: cmake -DVEKGEO=<path> -P vekgeo_cli.cmake
cmake_policy(SET CMP0007 NEW)

function(expect_output expected)
  execute_process(COMMAND ${VEKGEO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  string(STRIP "${out}" out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "vekgeo ${ARGN}: exit ${rc}, output \"${out}\", expected \"${expected}\" ${err}")
  endif()
endfunction()

function(expect_usage_error)
  execute_process(COMMAND ${VEKGEO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR err STREQUAL "")
    message(FATAL_ERROR "vekgeo ${ARGN}: exit ${rc} (expected 2 and a message), stderr \"${err}\"")
  endif()
endfunction()

expect_output("33 U 601799.15 5339437.15" utm 48.2 16.37)
expect_output("31 N 500000.00 0.00" utm 0 3)
expect_output("32 V 276979.93 6658157.20" utm 60 5)
expect_output("48.199999965 16.370000056" utm --reverse 33 N 601799.15 5339437.15)
expect_output("N 2277728.70 1518959.79" ups 85 30)
expect_output("S 2277728.70 2481040.21" ups -85 30)
expect_output("6378137.0000 0.0000 0.0000" geocentric 0 0 0)
expect_output("6378137.0000 0.0000 0.0000" geocentric 0 0 0 gelWGS84)
expect_output("90.000000000 0.000000000 100.0000" geocentric --reverse 0 0 6356852.314245)
expect_output("48.000000000 16.000000000 100.0000" helmert 269 269 48 16 100)

expect_usage_error(utm 48.2)
expect_usage_error(utm 85 0)
expect_usage_error(utm 91 0)
expect_usage_error(utm abc 3)
expect_usage_error(utm --reverse 61 N 500000 0)
expect_usage_error(utm --reverse 33 X 500000 0)
expect_usage_error(geocentric 1 2 3 nosuchellipsoid)
expect_usage_error(helmert 0 269 1 1 1)
expect_usage_error(helmert 269 272 1 1 1)
expect_usage_error(ellipsoids extra)

# One position per line of standard input; a bad line is marked, the others still convert.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/vekgeo_cli_input.txt "48.2 16.37\n\n91 0\n0 3\n")
execute_process(COMMAND ${VEKGEO} utm INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/vekgeo_cli_input.txt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(REPLACE "\n" ";" lines "${out}")
list(GET lines 0 l0)
list(GET lines 2 l2)
list(GET lines 3 l3)
if(NOT rc EQUAL 1 OR NOT l0 STREQUAL "33 U 601799.15 5339437.15" OR NOT l2 MATCHES "^ERROR: "
   OR NOT l3 STREQUAL "31 N 500000.00 0.00")
  message(FATAL_ERROR "vekgeo utm from stdin: exit ${rc}, output:\n${out}")
endif()
