# Helpers for the per-folder libraries, tests and benchmarks.

set(KELP_EXTERNAL_LIBS
  Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::DBus Qt6::PrintSupport Qt6::Svg
  Qt6::Pdf Qt6::PdfWidgets Qt6::WebEngineCore Qt6::WebEngineWidgets
  PkgConfig::LIBXML2 PkgConfig::ONIG PkgConfig::ICU PkgConfig::UCHARDET PkgConfig::SQLITE3
  PkgConfig::ENCHANT PkgConfig::JSC PkgConfig::GIO)

# One precompiled header of the Qt and standard headers that nearly every file
# includes, shared by all our libraries and tests (they build with the same flags).
function(kelp_add_precompiled_header)
  file(WRITE ${CMAKE_BINARY_DIR}/kelp_pch.cpp "int kelpPrecompiledHeaderAnchor;\n")
  add_library(kelp_pch STATIC ${CMAKE_BINARY_DIR}/kelp_pch.cpp)
  # Same libraries as every folder, so the same flags (-pthread, -D_REENTRANT ...).
  target_link_libraries(kelp_pch PUBLIC ${KELP_EXTERNAL_LIBS})
  list(TRANSFORM KELP_PCH_HEADERS PREPEND "<" OUTPUT_VARIABLE headers)
  list(TRANSFORM headers APPEND ">")
  target_precompile_headers(kelp_pch PRIVATE ${headers})
endfunction()

# Without the precompiled header (developer trees that share a compiler cache)
# the same headers are included into every file, so that both builds see the
# same declarations.
set(KELP_PCH_HEADERS QtCore/QtCore QtGui/QtGui QtWidgets/QtWidgets algorithm functional memory optional vector)
function(kelp_use_precompiled_header target)
  if(KELP_USE_PCH)
    target_precompile_headers(${target} REUSE_FROM kelp_pch)
  else()
    foreach(header IN LISTS KELP_PCH_HEADERS)
      target_compile_options(${target} PRIVATE "SHELL:-include ${header}")
    endforeach()
  endif()
endfunction()

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
  kelp_use_precompiled_header(kelp_${folder})
  target_link_libraries(kelp_${folder} PUBLIC ${KELP_EXTERNAL_LIBS})
endfunction()

# Each folder's library links the libraries of every layer below its own
# (KELP_LAYERS, bottom to top), never one beside or above it. kelp_all stands for
# the whole program (the top layer and, through it, everything below) for the
# executable, the tests and the benchmarks.
function(kelp_link_layers)
  set(below)
  set(everything)
  foreach(layer IN LISTS KELP_LAYERS)
    string(REPLACE " " ";" layer_folders "${layer}")
    set(this_layer)
    foreach(folder IN LISTS layer_folders)
      if(below)
        target_link_libraries(kelp_${folder} PUBLIC ${below})
      endif()
      list(APPEND this_layer kelp_${folder})
    endforeach()
    list(APPEND below ${this_layer})
    list(APPEND everything ${this_layer})
  endforeach()
  add_library(kelp_all INTERFACE)
  # Listed top first so that a static library comes before those it uses.
  list(REVERSE everything)
  target_link_libraries(kelp_all INTERFACE ${everything} ${KELP_EXTERNAL_LIBS})
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
  kelp_use_precompiled_header(test_${folder})
  add_test(NAME ${folder} COMMAND test_${folder})
  set_tests_properties(${folder} PROPERTIES
    TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;KELP_STUDIO_RESOURCES=${CMAKE_SOURCE_DIR}/resources;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
endfunction()
