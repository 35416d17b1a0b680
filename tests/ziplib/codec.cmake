qb_add_test(ziplib_codec_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_deflate64_test.cpp ${CMAKE_CURRENT_LIST_DIR}/codec_crypt_test.cpp
  LIBS ziplib)
