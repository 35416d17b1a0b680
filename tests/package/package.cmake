# The zip a Windows user installs from: scripts/package packs the programs of this build
# tree, and its check must refuse a zip that lacks a file or holds a program that needs
# a DLL Windows does not have.
add_test(NAME package COMMAND ${CMAKE_CURRENT_LIST_DIR}/package_test ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}
  ${CMAKE_CXX_COMPILER})
set_tests_properties(package PROPERTIES TIMEOUT 120 COST 10)
