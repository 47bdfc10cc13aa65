# The GL view widget on its own (no window around it).
kubelmar_add_gui_test(kubelmar_view_tests ${CMAKE_CURRENT_LIST_DIR}/gl_widget_test.cpp)
# The Result panel on its own, fed a preview.
kubelmar_add_gui_test(kubelmar_result_panel_tests ${CMAKE_CURRENT_LIST_DIR}/result_panel_test.cpp)
