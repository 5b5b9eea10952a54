# The release key packages must be signed with (README, "Publishing a release"): base64 of the public
# point X || Y, as scripts/release-key.sh prints it. Empty: packages are not signature-checked.
set(OM_RELEASE_PUBLIC_KEY "" CACHE STRING "release public key the packages must be signed with; empty: no signature checks")
string(LENGTH "${OM_RELEASE_PUBLIC_KEY}" om_key_length)
if(NOT om_key_length EQUAL 0 AND (NOT om_key_length EQUAL 88 OR NOT OM_RELEASE_PUBLIC_KEY MATCHES "^[A-Za-z0-9+/]+==$"))
  message(FATAL_ERROR "OM_RELEASE_PUBLIC_KEY is not a key printed by scripts/release-key.sh")
endif()

# The tests' own release key, made once per build folder, for an updater built with a key
# (om_updat_signed) and the packages the tests sign with scripts/sign-release.sh.
if(OM_BUILD_TESTS)
  set(OM_TEST_KEY_DIR ${CMAKE_BINARY_DIR}/test-release-key)
  if(NOT EXISTS ${OM_TEST_KEY_DIR}/public-key.txt)
    file(REMOVE_RECURSE ${OM_TEST_KEY_DIR})
    execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/release-key.sh new ${OM_TEST_KEY_DIR}
      OUTPUT_VARIABLE om_test_key OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE om_key_result)
    if(NOT om_key_result EQUAL 0)
      message(FATAL_ERROR "scripts/release-key.sh could not make the tests' release key")
    endif()
    file(WRITE ${OM_TEST_KEY_DIR}/public-key.txt "${om_test_key}")
  endif()
  file(READ ${OM_TEST_KEY_DIR}/public-key.txt OM_TEST_RELEASE_PUBLIC_KEY)
endif()
