# Self-extracting packages for the update tests. win32: package_sfx.exe, a stub that pack_sfx.py turns
# into a package by appending files. posix tests make theirs from p7zip's 7zCon.sfx instead.
if(OM_PLATFORM STREQUAL "win32")
  add_executable(package_sfx ${CMAKE_CURRENT_LIST_DIR}/win32/package_sfx.c)
  set_target_properties(package_sfx PROPERTIES
    OUTPUT_NAME package_sfx SUFFIX ".exe" PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/programs)
  if(TARGET om_test_programs)
    add_dependencies(om_test_programs package_sfx)
  endif()
endif()
