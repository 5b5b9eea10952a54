# ELF samples for the version reader's fuzzer seeds: elf/elf64_2_1_0_300.o and elf32_2_1_0_300.o, small
# ELF files whose only content is the version section.
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
