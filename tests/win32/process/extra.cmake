# The long-sleeping stand-in the launch tests start and stop.
add_dependencies(${target} test_program_v15_0_0_1)
