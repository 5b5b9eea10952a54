# The request-object contract tests run here over WinHTTP, under Wine, against the server on the
# Linux side.
target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/contract/http_contract_test.cpp)
target_compile_definitions(${target} PRIVATE OM_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
