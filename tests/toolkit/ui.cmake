qb_add_test(toolkit_ui_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/win_form_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win_listview_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win_msgdlg_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win_dialogs_test.cpp
  LIBS toolkit
  GUI)
