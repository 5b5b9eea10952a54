# The FTP client contract tests, shared with the win32 build.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/contract/ftp_contract_test.cpp)
target_compile_definitions(${target} PRIVATE OM_FTP_SERVER_SCRIPT="${CMAKE_SOURCE_DIR}/tests/contract/ftp_server.py")
