qb_add_test(ziplib_zipcodecs_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zip_codecs_test.cpp
  LIBS settings toolkit ziplib
  EACH_CASE
  COST 40
  DEPENDS dzip32 dunzip32
  TIMEOUT 1200)
