# Stand-in programs for the Wine tests: small console programs that note their start (see
# win32/stand_in.c), each with its own VERSIONINFO resource, built into
# ${CMAKE_BINARY_DIR}/tests/programs/<output file name>.

set(OM_TEST_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/tests/programs)
set(OM_STAND_IN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/win32/stand_in.c)
set(OM_STAND_IN_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/win32/version.rc.in)

function(om_add_stand_in name output_file)
  set(target test_program_${name})
  add_executable(${target} ${OM_STAND_IN_SOURCE} ${ARGN})
  # Its own name decides which program it stands in for; the suffix is given with the name.
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${output_file} SUFFIX "" PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${OM_TEST_PROGRAMS_DIR})
  set_property(GLOBAL APPEND PROPERTY OM_TEST_PROGRAM_TARGETS ${target})
endfunction()

# om_add_versioned_program(<name> <output file name> <major> <minor> <patch> <tweak>)
function(om_add_versioned_program name output_file major minor patch tweak)
  set(OM_PROGRAM_NAME ${name})
  set(OM_PROGRAM_FILE ${output_file})
  set(OM_PROGRAM_MAJOR ${major})
  set(OM_PROGRAM_MINOR ${minor})
  set(OM_PROGRAM_PATCH ${patch})
  set(OM_PROGRAM_TWEAK ${tweak})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/version_${name}.rc)
  configure_file(${OM_STAND_IN_RC_TEMPLATE} ${rc} @ONLY)
  om_add_stand_in(${name} ${output_file} ${rc})
endfunction()

# om_add_unversioned_program(<name> <output file name>): the same program without a version resource.
function(om_add_unversioned_program name output_file)
  om_add_stand_in(${name} ${output_file})
endfunction()

om_add_versioned_program(ombrix32_2.1.5 ombrix32_2.1.5.exe 2 1 0 5)
om_add_versioned_program(ombrix32_2.1.6 ombrix32_2.1.6.exe 2 1 0 6)
om_add_versioned_program(v15_0_0_1 v15_0_0_1.exe 15 0 0 1)
om_add_versioned_program(v2_1_0_300 v2_1_0_300.exe 2 1 0 300)
om_add_unversioned_program(no_version no_version.exe)

# Every stand-in, for tests that need them built first: add_dependencies(<test> om_test_programs).
get_property(om_test_program_targets GLOBAL PROPERTY OM_TEST_PROGRAM_TARGETS)
add_custom_target(om_test_programs DEPENDS ${om_test_program_targets})
