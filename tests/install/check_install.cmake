# Installs the build tree into WORK_DIR/prefix, then configures, builds and runs the
# consumer project beside this script against it.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "cmake --install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer
  -B ${WORK_DIR}/build -G Ninja -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configuring the consumer failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the consumer failed")
endif()
# Only the public headers are installed.
foreach(internal MapRenderer.h XmlText.h DialectBlock.h GdbIndex.h GdbIndexSet.h TMSeries.h)
  if(EXISTS ${WORK_DIR}/prefix/include/vekgeo/${internal})
    message(FATAL_ERROR "the unit-internal ${internal} was installed")
  endif()
endforeach()
# The map unit's non-widget part runs without Qt Widgets.
execute_process(COMMAND ldd ${WORK_DIR}/build/consumer_geomapcore OUTPUT_VARIABLE libs)
if(libs MATCHES "Qt6Widgets" OR libs MATCHES "Qt6Gui")
  message(FATAL_ERROR "consumer_geomapcore links Qt Gui or Widgets:\n${libs}")
endif()
foreach(program consumer consumer_geodb consumer_geomapcore consumer_geomap consumer_geoatlas
                consumer_geogdal)
  execute_process(COMMAND ${WORK_DIR}/build/${program} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  message(STATUS "${out}")
  if(rc)
    message(FATAL_ERROR "${program} failed")
  endif()
endforeach()
