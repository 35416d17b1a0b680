# Faults found from outside: crafted zips against the extraction side, killed and
# interrupted compression runs, and a bounded fuzz run over count, test and extract.
qb_add_test(ziplib_faults_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_unzip_test.cpp
  LIBS settings toolkit
  DEPENDS dunzip32 zip_killed_child
  TIMEOUT 300)

# A compression or extraction run that ends itself at a chosen callback, as a killed run would.
add_executable(zip_killed_child ${CMAKE_CURRENT_LIST_DIR}/zip_killed_child.cpp)
target_link_libraries(zip_killed_child PRIVATE toolkit)
target_include_directories(zip_killed_child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(zip_killed_child PRIVATE -municode)

qb_add_test(ziplib_faults_zip_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_zip_test.cpp
  LIBS toolkit
  DEPENDS dzip32 zip_killed_child
  TIMEOUT 300)

qb_add_test(ziplib_fuzz_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_fuzz_test.cpp
  LIBS settings toolkit
  DEPENDS dunzip32
  TIMEOUT 300)
