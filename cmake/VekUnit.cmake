# vek_add_unit(<short name> [QT] [FOLDERS <dirs...>] DEPS <targets...>)
# Builds every .cpp of the current folder (or of the FOLDERS named, relative to it) into the
# static library vek_<name>, aliased vek::<name>, exported as VekGeo::<name>, with its headers
# installed under include/vekgeo.
function(vek_add_unit name)
  cmake_parse_arguments(U "QT" "" "DEPS;FOLDERS" ${ARGN})
  if(NOT U_FOLDERS)
    set(U_FOLDERS .)
  endif()
  set(sources)
  set(headers)
  set(dirs)
  foreach(folder ${U_FOLDERS})
    cmake_path(ABSOLUTE_PATH folder BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
               OUTPUT_VARIABLE dir)
    file(GLOB folder_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    file(GLOB folder_headers CONFIGURE_DEPENDS ${dir}/*.h)
    list(APPEND sources ${folder_sources})
    list(APPEND headers ${folder_headers})
    list(APPEND dirs $<BUILD_INTERFACE:${dir}>)
  endforeach()
  if(sources)
    add_library(vek_${name} STATIC ${sources} ${headers})
    set(scope PUBLIC)
  else()
    add_library(vek_${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  add_library(vek::${name} ALIAS vek_${name})
  set_target_properties(vek_${name} PROPERTIES EXPORT_NAME ${name})
  if(U_QT AND sources)
    set_target_properties(vek_${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  endif()
  target_include_directories(vek_${name} ${scope} ${dirs}
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/vekgeo>)
  if(U_DEPS)
    target_link_libraries(vek_${name} ${scope} ${U_DEPS})
  endif()
  install(TARGETS vek_${name} EXPORT VekGeoTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vekgeo)
endfunction()

# vek_add_test_suite(<unit>): tests/<unit>/*.cpp -> test_<unit>, discovered by CTest.
function(vek_add_test_suite unit)
  cmake_parse_arguments(T "QT" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${unit}/*.cpp)
  if(NOT sources)
    return()
  endif()
  # Suites that need Qt get a main() that creates the one QApplication of the run.
  if(T_QT)
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/common/QtTestMain.cpp)
    set(gtest_main_lib Qt6::Widgets)
  else()
    set(gtest_main_lib GTest::gtest_main)
  endif()
  add_executable(test_${unit} ${sources})
  set_target_properties(test_${unit} PROPERTIES AUTOMOC ON)
  target_include_directories(test_${unit} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${unit})
  target_link_libraries(test_${unit} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock ${gtest_main_lib})
  gtest_discover_tests(test_${unit}
    PROPERTIES LABELS ${unit} ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endfunction()
