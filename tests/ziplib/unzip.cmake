qb_add_test(ziplib_unzip_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/unzip_read_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unzip_safety_test.cpp
  LIBS settings toolkit
  EACH_CASE_OF DamagedCorpus
  COST 6
  DEPENDS dunzip32
  TIMEOUT 900)
