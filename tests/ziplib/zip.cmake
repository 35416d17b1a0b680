qb_add_test(ziplib_zip_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zip_dll_test.cpp
  LIBS toolkit
  EACH_CASE
  COST 10
  DEPENDS dzip32
  TIMEOUT 900)
