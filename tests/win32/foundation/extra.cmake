# The foundation tests survey and copy the stand-in programs; the registry contract shared with the
# posix tests runs here against the real registry (fixture: registry_fixture_wine.cpp).
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/contract/registry_contract_test.cpp)
add_dependencies(${target} om_test_programs)
