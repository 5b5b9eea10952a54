# The registry contract (shared with the Wine tests) runs here against the registry file; the version
# reader's tests read the stand-ins and the PE samples built under tests/programs.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/contract/registry_contract_test.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(${target} PRIVATE OM_TEST_PROGRAMS_BUILT="${CMAKE_BINARY_DIR}/tests/programs")
add_dependencies(${target} om_test_programs)
