# The contracts shared with the Wine tests run here against the registry file and the posix services;
# the version reader reads the stand-ins and the PE samples built under tests/programs.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/contract/registry_contract_test.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/contract/system_contract_test.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(${target} PRIVATE OM_TEST_PROGRAMS_BUILT="${CMAKE_BINARY_DIR}/tests/programs")
add_dependencies(${target} om_test_programs)
