# Reliability suites: generated systems checked by an independent evaluator,
# resource limits, nothing lost on failed loads/saves/runs, and hostile input
# to tavro-cli. Included from tests/CMakeLists.txt.

if(NOT TARGET GTest::gtest_main)
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

add_executable(tavro_reliability_tests
  ${CMAKE_CURRENT_LIST_DIR}/engine/PropertyTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine/NothingLostTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine/ResourceLimitTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app/cli/CliHostileTest.cpp
)
target_include_directories(tavro_reliability_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tavro_reliability_tests PRIVATE tavro_engine GTest::gtest_main)
target_compile_definitions(tavro_reliability_tests PRIVATE
  TAVRO_CLI_PATH="$<TARGET_FILE:tavro-cli>")
add_dependencies(tavro_reliability_tests tavro-cli)
gtest_discover_tests(tavro_reliability_tests
  DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS reliability TIMEOUT 600)
