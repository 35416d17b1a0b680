qb_add_test(errorviewer_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ewlines_test.cpp ${CMAKE_CURRENT_LIST_DIR}/qbew_test.cpp
  LIBS errorviewer
  REGISTRY GUI
  DEPENDS QbEw
  TIMEOUT 300)
