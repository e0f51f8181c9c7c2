# Widget tests: the bundle, the frame, the control bar, the progress window,
# the single-instance rule and the program's exit codes.
if(TARGET mobile_shell_ui)
  mobile_qt_test(mobile_ui_tests SOURCES ui_test.cpp LIBS mobile_shell_ui Qt6::Widgets)
  target_compile_definitions(mobile_ui_tests PRIVATE
    TELVANE_TEST_BUNDLE="${TELVANE_RESOURCE_BUNDLE}"
    TELVANE_MOBILE_PROGRAM="$<TARGET_FILE:mobile>")
  add_dependencies(mobile_ui_tests mobile resource_bundle)
endif()
