# Stand-in programs for the posix tests, built from posix/stand_in.cpp into
# ${CMAKE_BINARY_DIR}/tests/programs/<output file name>, each carrying its version block in the ELF
# section ".om_version" (version_block.hpp). The names match the win32 build's stand-ins, so a test
# copies the same file name into an installation folder on both platforms.
#
# Also built, when the mingw-w64 cross tools are found: real PE files for the version reader's tests,
# in ${CMAKE_BINARY_DIR}/tests/programs/pe/: pe64_15_0_0_1.exe, pe64_2_1_0_300.exe, pe64_no_resource.exe
# (PE32+) and pe32_2_1_0_300.exe (PE32). And in .../programs/elf/: elf64_2_1_0_300.o and
# elf32_2_1_0_300.o, small ELF files whose only content is the version section.

set(OM_TEST_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/tests/programs)
set(OM_STAND_IN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/posix/stand_in.cpp)

function(om_add_stand_in name output_file)
  set(target test_program_${name})
  add_executable(${target} ${OM_STAND_IN_SOURCE})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${output_file} SUFFIX "" PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${OM_TEST_PROGRAMS_DIR})
  set_property(GLOBAL APPEND PROPERTY OM_TEST_PROGRAM_TARGETS ${target})
endfunction()

# om_add_versioned_program(<name> <output file name> <major> <minor> <patch> <tweak>)
function(om_add_versioned_program name output_file major minor patch tweak)
  om_add_stand_in(${name} ${output_file})
  target_compile_definitions(test_program_${name} PRIVATE
    "OM_PROGRAM_VERSION=${major},${minor},${patch},${tweak}")
endfunction()

# om_add_unversioned_program(<name> <output file name>): the same program without a version block.
function(om_add_unversioned_program name output_file)
  om_add_stand_in(${name} ${output_file})
endfunction()

om_add_versioned_program(ombrix32_2.1.5 ombrix32_2.1.5.exe 2 1 0 5)
om_add_versioned_program(ombrix32_2.1.6 ombrix32_2.1.6.exe 2 1 0 6)
om_add_versioned_program(v15_0_0_1 v15_0_0_1.exe 15 0 0 1)
om_add_versioned_program(v2_1_0_300 v2_1_0_300.exe 2 1 0 300)
om_add_unversioned_program(no_version no_version.exe)

# ---- real PE files, made with the cross tools ------------------------------------------------------
find_program(OM_MINGW64_GCC x86_64-w64-mingw32-gcc)
find_program(OM_MINGW64_WINDRES x86_64-w64-mingw32-windres)
find_program(OM_MINGW32_GCC i686-w64-mingw32-gcc)
find_program(OM_MINGW32_WINDRES i686-w64-mingw32-windres)
set(OM_PE_DIR ${OM_TEST_PROGRAMS_DIR}/pe)
set(om_pe_files)

# om_add_pe_sample(<output file> <gcc> <windres> [<major> <minor> <patch> <tweak>])
function(om_add_pe_sample output_file gcc windres)
  set(source ${CMAKE_CURRENT_LIST_DIR}/posix/pe_sample.c)
  set(output ${OM_PE_DIR}/${output_file})
  if(ARGC EQUAL 7)
    set(OM_PROGRAM_NAME ${output_file})
    set(OM_PROGRAM_FILE ${output_file})
    set(OM_PROGRAM_MAJOR ${ARGV3})
    set(OM_PROGRAM_MINOR ${ARGV4})
    set(OM_PROGRAM_PATCH ${ARGV5})
    set(OM_PROGRAM_TWEAK ${ARGV6})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${output_file}.rc)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${output_file}.res.o)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/posix/pe_version.rc.in ${rc} @ONLY)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${OM_PE_DIR}
      COMMAND ${windres} ${rc} -O coff -o ${res}
      COMMAND ${gcc} -O1 -s -o ${output} ${source} ${res}
      DEPENDS ${source} ${rc}
      COMMENT "PE sample ${output_file}" VERBATIM)
  else()
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${OM_PE_DIR}
      COMMAND ${gcc} -O1 -s -o ${output} ${source}
      DEPENDS ${source}
      COMMENT "PE sample ${output_file}" VERBATIM)
  endif()
  set(om_pe_files ${om_pe_files} ${output} PARENT_SCOPE)
endfunction()

if(OM_MINGW64_GCC AND OM_MINGW64_WINDRES)
  om_add_pe_sample(pe64_15_0_0_1.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES} 15 0 0 1)
  om_add_pe_sample(pe64_2_1_0_300.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES} 2 1 0 300)
  om_add_pe_sample(pe64_no_resource.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES})
  if(OM_MINGW32_GCC AND OM_MINGW32_WINDRES)
    om_add_pe_sample(pe32_2_1_0_300.exe ${OM_MINGW32_GCC} ${OM_MINGW32_WINDRES} 2 1 0 300)
  else()
    message(STATUS "i686-w64-mingw32 tools not found: no PE32 sample for the version reader's tests")
  endif()
  add_custom_target(om_pe_samples DEPENDS ${om_pe_files})
  set(OM_HAVE_PE_SAMPLES ON CACHE INTERNAL "")
else()
  message(STATUS "x86_64-w64-mingw32 tools not found: no PE samples for the version reader's tests")
  set(OM_HAVE_PE_SAMPLES OFF CACHE INTERNAL "")
endif()

# ---- small ELF files: relocatable objects carrying a version section, 64-bit and 32-bit ------------------
set(OM_ELF_DIR ${OM_TEST_PROGRAMS_DIR}/elf)
set(elf_source ${CMAKE_CURRENT_LIST_DIR}/posix/elf_sample.cpp)
add_custom_command(OUTPUT ${OM_ELF_DIR}/elf64_2_1_0_300.o ${OM_ELF_DIR}/elf32_2_1_0_300.o
  COMMAND ${CMAKE_COMMAND} -E make_directory ${OM_ELF_DIR}
  COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -O1 -g0 -c -I${CMAKE_SOURCE_DIR}/src ${elf_source}
          -o ${OM_ELF_DIR}/elf64_2_1_0_300.o
  COMMAND ${CMAKE_OBJCOPY} -O elf32-i386 ${OM_ELF_DIR}/elf64_2_1_0_300.o ${OM_ELF_DIR}/elf32_2_1_0_300.o
  DEPENDS ${elf_source} ${CMAKE_SOURCE_DIR}/src/platform/posix/version_block.hpp
  COMMENT "ELF samples with a version section" VERBATIM)
add_custom_target(om_elf_samples DEPENDS ${OM_ELF_DIR}/elf64_2_1_0_300.o ${OM_ELF_DIR}/elf32_2_1_0_300.o)

# Every stand-in, for tests that need them built first: add_dependencies(<test> om_test_programs).
get_property(om_test_program_targets GLOBAL PROPERTY OM_TEST_PROGRAM_TARGETS)
add_custom_target(om_test_programs DEPENDS ${om_test_program_targets})
add_dependencies(om_test_programs om_elf_samples)
if(TARGET om_pe_samples)
  add_dependencies(om_test_programs om_pe_samples)
endif()
