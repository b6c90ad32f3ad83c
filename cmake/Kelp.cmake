# Helpers for the per-folder libraries, tests and benchmarks.

set(KELP_EXTERNAL_LIBS
  Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::DBus Qt6::PrintSupport Qt6::Svg
  Qt6::Pdf Qt6::PdfWidgets Qt6::WebEngineCore Qt6::WebEngineWidgets
  PkgConfig::LIBXML2 PkgConfig::ONIG PkgConfig::ICU PkgConfig::UCHARDET PkgConfig::SQLITE3
  PkgConfig::ENCHANT PkgConfig::JSC PkgConfig::GIO)

function(kelp_add_folder_library folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp
    ${CMAKE_SOURCE_DIR}/src/${folder}/*.h
    ${CMAKE_SOURCE_DIR}/src/${folder}/*.qrc)
  if(NOT folder IN_LIST KELP_FOLDERS)
    set(sources)
  endif()
  if(NOT sources)
    # An empty folder still gets a library so that linking stays uniform.
    set(stub ${CMAKE_BINARY_DIR}/empty_${folder}.cpp)
    file(WRITE ${stub} "namespace { [[maybe_unused]] int kelpEmpty_${folder}; }\n")
    set(sources ${stub})
  endif()
  add_library(kelp_${folder} STATIC ${sources})
  # Make moc run again when a header appears: its depfile only knows the
  # headers it saw last time.
  set(headers ${sources})
  list(FILTER headers INCLUDE REGEX "\\.h$")
  if(headers)
    set_property(TARGET kelp_${folder} PROPERTY AUTOGEN_TARGET_DEPENDS ${headers})
  endif()
  target_include_directories(kelp_${folder} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(kelp_${folder} PUBLIC ${KELP_EXTERNAL_LIBS})
endfunction()

function(kelp_link_all)
  set(ours)
  foreach(folder IN LISTS KELP_LIBRARIES)
    list(APPEND ours kelp_${folder})
  endforeach()
  foreach(folder IN LISTS KELP_LIBRARIES)
    if(NOT folder STREQUAL "kit")
      target_link_libraries(kelp_${folder} PUBLIC kelp_kit)
    endif()
  endforeach()
  add_library(kelp_all INTERFACE)
  target_link_libraries(kelp_all INTERFACE
    "-Wl,--start-group" ${ours} "-Wl,--end-group" ${KELP_EXTERNAL_LIBS})
endfunction()

# One test binary per folder of tests/.
function(kelp_add_folder_test folder)
  if(NOT folder IN_LIST KELP_FOLDERS)
    return()
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/tests/${folder}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${folder} ${sources} ${CMAKE_SOURCE_DIR}/tests/TestMain.cpp)
  target_include_directories(test_${folder} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(test_${folder} PRIVATE kelp_all GTest::gtest GTest::gmock Qt6::Test)
  target_compile_definitions(test_${folder} PRIVATE KELP_TEST_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures")
  add_test(NAME ${folder} COMMAND test_${folder})
  set_tests_properties(${folder} PROPERTIES
    TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;KELP_STUDIO_RESOURCES=${CMAKE_SOURCE_DIR}/resources;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
endfunction()
