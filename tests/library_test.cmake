# tarnlow_library_test(NAME LIBRARY target EXPORTS symbols... SOURCES files... [LIBS ...])
# A QtTest program for one of the run-time libraries, which it loads with
# dlopen from the bin folder (TARNLOW_TEST_BIN_DIR) as the desktop program
# does, and NAME_exports, which fails unless the library's defined dynamic
# symbols are exactly EXPORTS: anything more could clash with the program's.
# Included by each test folder: Qt's imported targets are per folder.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

function(tarnlow_library_test name)
  cmake_parse_arguments(T "" "LIBRARY" "SOURCES;LIBS;EXPORTS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE
    tarnlow_flags Qt6::Widgets Qt6::Test ${CMAKE_DL_LIBS} ${T_LIBS})
  target_compile_definitions(${name} PRIVATE TARNLOW_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  add_dependencies(${name} ${T_LIBRARY})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120)

  string(REPLACE ";" "\\;" expected "${T_EXPORTS}")
  add_test(NAME ${name}_exports
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${T_LIBRARY}> "-DEXPECTED=${expected}"
            -P ${CMAKE_SOURCE_DIR}/tests/exported_symbols.cmake)
endfunction()
