# The scheduler: its decisions in-process, and the real QbSch.exe beside a stand-in runner.
add_executable(stub_runqb WIN32 ${CMAKE_CURRENT_LIST_DIR}/stub_runqb.cpp)
target_link_options(stub_runqb PRIVATE -municode)
target_link_libraries(stub_runqb PRIVATE advapi32)
qb_add_test(scheduler_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/schlogic_test.cpp ${CMAKE_CURRENT_LIST_DIR}/qbsch_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/qbsch_events_test.cpp
  LIBS scheduler
  REGISTRY GUI
  EACH_CASE_OF QbSchEvents QbSchProgram
  COST 8
  DEPENDS QbSch stub_runqb
  TIMEOUT 400)

