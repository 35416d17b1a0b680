# The split, volume size, join and extract dialogs driven on real forms under Xvfb,
# their runner command lines read back the way the runner reads them.
qb_add_test(manager_zipdialogs_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zipdialogs_test.cpp
  LIBS manager runner
  REGISTRY GUI
  TIMEOUT 300
  DEPENDS dunzip32)

# The settings export through regedit, the help file and viewer, and the shell seam.
qb_add_test(manager_export_help_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/exporthelp_test.cpp
  LIBS manager
  REGISTRY GUI
  TIMEOUT 300
  DEPENDS frame_viewer_standin QbHelp)
