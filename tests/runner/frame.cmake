# The runner's frame: its windows in-process, and the real RunQb.exe from outside.
qb_add_test(frame_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_windows_test.cpp
  LIBS runner
  REGISTRY GUI)

# The viewer's stand-in for the copied program folders of the program tests.
add_executable(frame_viewer_standin ${CMAKE_CURRENT_LIST_DIR}/frame_viewer_standin.cpp)
target_link_libraries(frame_viewer_standin PRIVATE toolkit)
target_link_options(frame_viewer_standin PRIVATE -municode)

qb_add_test(frame_program_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_program_test.cpp
  LIBS settings
  REGISTRY GUI
  COST 15
  DEPENDS RunQb dzip32 dunzip32 QbEw frame_viewer_standin)

# The progress window in-process (its code is the program's, not the library's): its
# parts, and its pace while the real library zips thousands of files.
foreach(t frame_form_test frame_pace_test)
  qb_add_test(${t}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp ${CMAKE_SOURCE_DIR}/runner/runqbmain.cpp
    LIBS runner controls settings
    REGISTRY GUI
    DEPENDS dzip32 dunzip32)
endforeach()
