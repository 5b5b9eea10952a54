# The foundation tests survey and copy the stand-in programs.
add_dependencies(${target} om_test_programs)
