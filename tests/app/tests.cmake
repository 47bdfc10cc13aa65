# Desktop program tests (Qt Test), each on an X server of its own.
find_package(Qt6 REQUIRED COMPONENTS Test Widgets OpenGL OpenGLWidgets)

function(kubelmar_add_gui_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/fake_dialogs.h)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE kubelmar_window Qt6::Test kubelmar_warnings)
  target_compile_definitions(${name} PRIVATE
    KUBELMAR_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples"
    KUBELMAR_CLI="$<TARGET_FILE:kubelmar-cli>"
    KUBELMAR_DESKTOP="$<TARGET_FILE:kubelmar>")
  # The save tests compare with what the command line writes; the program's
  # own options are tried on the program.
  add_dependencies(${name} kubelmar-cli kubelmar)
  add_test(NAME ${name} COMMAND xvfb-run -a $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    RUN_SERIAL TRUE LABELS gui TIMEOUT 60 ENVIRONMENT QT_QPA_PLATFORM=xcb)
endfunction()

kubelmar_add_gui_test(kubelmar_window_tests ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp)
kubelmar_add_gui_test(kubelmar_layout_tests ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp)
# The layout again on a small and a large screen.
foreach(screen 1024x768 2048x1536)
  add_test(NAME kubelmar_layout_tests_${screen}
           COMMAND xvfb-run -a -s "-screen 0 ${screen}x24" $<TARGET_FILE:kubelmar_layout_tests>)
  set_tests_properties(kubelmar_layout_tests_${screen} PROPERTIES
    RUN_SERIAL TRUE LABELS gui TIMEOUT 60 ENVIRONMENT QT_QPA_PLATFORM=xcb)
endforeach()
