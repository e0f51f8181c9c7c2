# Widget tests: the bundle, the frame, the control bar, the progress window,
# the single-instance rule and the program's exit codes.
if(TARGET mobile_shell_ui)
  mobile_qt_test(mobile_ui_tests SOURCES ui_test.cpp LIBS mobile_shell_ui Qt6::Widgets)
  target_compile_definitions(mobile_ui_tests PRIVATE
    TELVANE_TEST_BUNDLE="${TELVANE_RESOURCE_BUNDLE}"
    TELVANE_MOBILE_PROGRAM="$<TARGET_FILE:mobile>")
  add_dependencies(mobile_ui_tests mobile resource_bundle)
endif()

# End to end: the shell, the real phone-link worker and the emulator.
if(TARGET mobile_shell_ui AND TARGET simphone)
  mobile_qt_test(mobile_e2e_tests SOURCES e2e_test.cpp LIBS mobile_shell_ui Qt6::Widgets)
  target_compile_definitions(mobile_e2e_tests PRIVATE
    TELVANE_TEST_BUNDLE="${TELVANE_RESOURCE_BUNDLE}"
    TELVANE_SIMPHONE_PROGRAM="$<TARGET_FILE:simphone>"
    TELVANE_MOBILE_PROGRAM="$<TARGET_FILE:mobile>")
  add_dependencies(mobile_e2e_tests simphone mobile resource_bundle)
  set_tests_properties(mobile_e2e_tests PROPERTIES TIMEOUT 240)
endif()
