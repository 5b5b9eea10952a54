# The window cases need an X display: run the same tests once more under a private Xvfb.
add_test(NAME ${target}_xvfb
  COMMAND timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" $<TARGET_FILE:${target}>)
set_tests_properties(${target}_xvfb PROPERTIES ENVIRONMENT
  "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp")
