# Samples for the posix version reader: real PE files made with the mingw-w64 cross tools when they
# are found (pe/pe64_15_0_0_1.exe, pe64_2_1_0_300.exe, pe64_no_resource.exe, and the PE32
# pe32_2_1_0_300.exe), and elf/elf64_2_1_0_300.o and elf32_2_1_0_300.o, small ELF files whose only
# content is the version section.
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
  set(resource)
  if(ARGC EQUAL 7)
    set(OM_PROGRAM_NAME ${output_file})
    set(OM_PROGRAM_FILE ${output_file})
    set(OM_PROGRAM_MAJOR ${ARGV3})
    set(OM_PROGRAM_MINOR ${ARGV4})
    set(OM_PROGRAM_PATCH ${ARGV5})
    set(OM_PROGRAM_TWEAK ${ARGV6})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${output_file}.rc)
    set(resource ${CMAKE_CURRENT_BINARY_DIR}/${output_file}.res.o)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in ${rc} @ONLY)
    add_custom_command(OUTPUT ${resource} COMMAND ${windres} ${rc} -O coff -o ${resource} DEPENDS ${rc} VERBATIM)
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${OM_PE_DIR}
    COMMAND ${gcc} -O1 -s -o ${output} ${source} ${resource}
    DEPENDS ${source} ${resource}
    COMMENT "PE sample ${output_file}" VERBATIM)
  set(om_pe_files ${om_pe_files} ${output} PARENT_SCOPE)
endfunction()

if(OM_MINGW64_GCC AND OM_MINGW64_WINDRES)
  om_add_pe_sample(pe64_15_0_0_1.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES} 15 0 0 1)
  om_add_pe_sample(pe64_2_1_0_300.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES} 2 1 0 300)
  om_add_pe_sample(pe64_no_resource.exe ${OM_MINGW64_GCC} ${OM_MINGW64_WINDRES})
  if(OM_MINGW32_GCC AND OM_MINGW32_WINDRES)
    om_add_pe_sample(pe32_2_1_0_300.exe ${OM_MINGW32_GCC} ${OM_MINGW32_WINDRES} 2 1 0 300)
  endif()
  add_custom_target(om_pe_samples DEPENDS ${om_pe_files})
  add_dependencies(om_test_programs om_pe_samples)
else()
  message(STATUS "x86_64-w64-mingw32 tools not found: no PE samples for the version reader's tests")
endif()

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
add_dependencies(om_test_programs om_elf_samples)
