# The run engine: its pieces in-process, and the real RunQb.exe running profiles.
qb_add_test(engine_params_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_params_test.cpp
  LIBS runner controls settings toolkit
  REGISTRY GUI
  DEPENDS dzip32 dunzip32)

qb_add_test(engine_program_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_program_test.cpp
  LIBS settings
  REGISTRY GUI EACH_CASE
  DEPENDS RunQb dzip32 dunzip32 QbEw frame_viewer_standin)

# The engine on a profile with a view of the test's own: the runner library alone, no window.
qb_add_test(engine_view_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_view_test.cpp
  LIBS runner settings toolkit
  REGISTRY
  DEPENDS dzip32 dunzip32)
