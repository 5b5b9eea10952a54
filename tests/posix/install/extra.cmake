# The stand-in programs are copied into the test's installation folder.
add_dependencies(${target} om_test_programs)
