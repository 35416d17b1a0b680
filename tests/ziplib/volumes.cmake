qb_add_test(ziplib_volumes_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/volumes_join_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/volumes_split_test.cpp
  LIBS settings toolkit
  DEPENDS dunzip32 dzip32
  EACH_CASE_OF VolumesSplit
  TIMEOUT 900)
