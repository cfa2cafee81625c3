# Interoperability tests: PLA files, Verilog, proof of the generated VHDL and
# Verilog by simulation, the LaTeX document compiled by pdflatex, and the
# command-line tool's file options.
find_package(GTest REQUIRED)
include(GoogleTest)

set(TAVRO_INTEROP_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

function(tavro_interop_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tavro_engine GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${TAVRO_INTEROP_TEST_DIR})
  target_compile_definitions(${name} PRIVATE TAVRO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

tavro_interop_test(tavro_interop_tests
  ${TAVRO_INTEROP_TEST_DIR}/engine/io/PlaTest.cpp
  ${TAVRO_INTEROP_TEST_DIR}/engine/io/PlaBenchTest.cpp
  ${TAVRO_INTEROP_TEST_DIR}/engine/io/VerilogTest.cpp)

tavro_interop_test(tavro_hdl_tests
  ${TAVRO_INTEROP_TEST_DIR}/engine/io/HdlSimulationTest.cpp)

tavro_interop_test(tavro_latex_tests
  ${TAVRO_INTEROP_TEST_DIR}/engine/io/LatexTest.cpp)
target_link_libraries(tavro_latex_tests PRIVATE tavro_test_support)

tavro_interop_test(tavro_cli_interop_tests
  ${TAVRO_INTEROP_TEST_DIR}/app/cli/CliInteropTest.cpp)
target_compile_definitions(tavro_cli_interop_tests PRIVATE TAVRO_CLI="$<TARGET_FILE:tavro-cli>")
add_dependencies(tavro_cli_interop_tests tavro-cli)
