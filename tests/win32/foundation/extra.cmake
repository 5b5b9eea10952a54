# The contracts shared with the posix tests run here against the real registry, file system, version
# information and processes under Wine (fixtures: fixtures_wine.cpp).
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/contract/registry_contract_test.cpp
                                 ${CMAKE_SOURCE_DIR}/tests/contract/system_contract_test.cpp)
add_dependencies(${target} om_test_programs)
