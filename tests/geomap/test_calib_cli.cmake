# Runs the calibration commands of the vekgeo tool: cmake -DVEKGEO=<path> -P test_calib_cli.cmake
cmake_policy(SET CMP0007 NEW)

set(cal "${CMAKE_CURRENT_BINARY_DIR}/calib_cli.xml")
file(WRITE "${cal}"
  "<?xml version=\"1.0\"?>\n\n<!-- TGeoMap Calibration / Quillwort -->\n"
  "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"first\" model=\"millercylindrical\" map=\"\" caption=\"\">\n</geomap>\n"
  "<geomap sig=\"Quillwort\" vers=\"1.0\" id=\"Demo\" model=\"equirect\" map=\"nothere.jpg\" caption=\"Demo Map\">\n"
  "<corners>\n[50.00000,10.00000] [49.00000,10.00000] [49.00000,11.00000] [50.00000,11.00000] \n</corners>\n"
  "<resolution>714.000</resolution>\n"
  "<calquads npoints=\"3\">\n[50.00000,10.00000,0,0] [50.00000,11.00000,100,0] [49.00000,10.00000,0,100] \n</calquads>\n"
  "</geomap>\n")

function(run_vekgeo)
  execute_process(COMMAND ${VEKGEO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  set(rc "${rc}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_output expected)
  run_vekgeo(${ARGN})
  string(STRIP "${out}" out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "vekgeo ${ARGN}: exit ${rc}, output \"${out}\", expected \"${expected}\" ${err}")
  endif()
endfunction()

function(expect_lines)
  cmake_parse_arguments(E "" "" "ARGS;LINES" ${ARGN})
  run_vekgeo(${E_ARGS})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vekgeo ${E_ARGS}: exit ${rc} ${err}")
  endif()
  foreach(line IN LISTS E_LINES)
    string(FIND "${out}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "vekgeo ${E_ARGS}: \"${line}\" missing from output:\n${out}")
    endif()
  endforeach()
endfunction()

function(expect_exit code)
  run_vekgeo(${ARGN})
  if(NOT rc EQUAL code OR err STREQUAL "")
    message(FATAL_ERROR "vekgeo ${ARGN}: exit ${rc} (expected ${code} and a message), stderr \"${err}\"")
  endif()
endfunction()

expect_output("100 100" calib pixel "${cal}" 49 11 demo)
expect_output("49.000000 11.000000" calib position "${cal}" 100 100 DEMO)
expect_output("50.000000 10.500000" calib position "${cal}" 50 0 demo)
expect_lines(ARGS calib show "${cal}" demo
  LINES "model:      equirect"
        "map:        nothere.jpg (image not found; corners and resolution as stored)"
        "caption:    Demo Map"
        "bottom-right 49.00000 11.00000"
        "resolution: 714.000 m/pixel"
        "3 control points, 0 graticule lines"
        "rms:        0.000 pixels")
# The first block: Miller without points converts nothing.
expect_lines(ARGS calib show "${cal}" LINES "model:      millercylindrical" "residuals:  none")
expect_exit(1 calib position "${cal}" 10 10)
expect_exit(1 calib show "${cal}" nosuch)
expect_exit(1 calib show "${CMAKE_CURRENT_BINARY_DIR}/no_such_file.xml")
expect_exit(2 calib)
expect_exit(2 calib show)
expect_exit(2 calib pixel "${cal}" abc 1)
expect_exit(2 calib position "${cal}" 1.5 1)
expect_exit(2 calib frobnicate "${cal}")

# World files: an image with a .wld beside it becomes a calibration, and back.
set(img "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.pbm")
file(WRITE "${img}" "P1\n100 50\n")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.wld" "0.01\n0\n0\n-0.01\n10.005\n49.995\n")
expect_lines(ARGS calib from-worldfile "${img}" "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.xml" wf
             LINES "calibrated 100 x 50 pixels")
expect_output("50.000000 10.000000" calib position "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.xml" 0 0 wf)
expect_output("49.500000 11.000000" calib position "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.xml" 100 50 wf)
expect_lines(ARGS calib to-worldfile "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.xml" wf
                  "${CMAKE_CURRENT_BINARY_DIR}/wf_back.wld" LINES "wrote")
file(STRINGS "${CMAKE_CURRENT_BINARY_DIR}/wf_back.wld" back)
list(GET back 0 a)
list(GET back 4 c)
if(NOT a STREQUAL "0.01" OR NOT c STREQUAL "10.005")
  message(FATAL_ERROR "world file written back: ${back}")
endif()
file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/wf_sheet.wld")
expect_exit(1 calib from-worldfile "${img}" "${CMAKE_CURRENT_BINARY_DIR}/wf_none.xml")
