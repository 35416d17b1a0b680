# The zip library's layers, read from its objects' symbol tables: no circle of objects, and
# the system's file functions called only in the file seam.
add_test(NAME ziplib_layers COMMAND ${CMAKE_CURRENT_LIST_DIR}/layers_test ${CMAKE_NM}
  $<TARGET_OBJECTS:ziplib> $<TARGET_OBJECTS:dzip32> $<TARGET_OBJECTS:dunzip32> COMMAND_EXPAND_LISTS)
set_tests_properties(ziplib_layers PROPERTIES TIMEOUT 60)
