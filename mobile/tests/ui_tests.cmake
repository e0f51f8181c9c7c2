# Widget tests: the bundle, the frame, the control bar, the progress window,
# the single-instance rule and the program's exit codes.
if(TARGET mobile_shell_ui)
  mobile_qt_test(mobile_ui_tests SOURCES ui_test.cpp LIBS mobile_shell_ui Qt6::Widgets)
  # A bundle of another version: a valid resource file holding only the strings.
  set(stale_qrc ${CMAKE_CURRENT_BINARY_DIR}/stale_bundle.qrc)
  set(stale_rcc ${CMAKE_CURRENT_BINARY_DIR}/stale_bundle.rcc)
  file(GENERATE OUTPUT ${stale_qrc} CONTENT
    "<!DOCTYPE RCC><RCC version=\"1.0\"><qresource prefix=\"/\"><file alias=\"strings/strings.tsv\">${TELVANE_ROOT}/resources/strings/strings.tsv</file></qresource></RCC>\n")
  add_custom_command(OUTPUT ${stale_rcc}
    COMMAND Qt6::rcc --binary -o ${stale_rcc} ${stale_qrc}
    DEPENDS ${stale_qrc} ${TELVANE_ROOT}/resources/strings/strings.tsv)
  add_custom_target(mobile_stale_bundle DEPENDS ${stale_rcc})
  target_compile_definitions(mobile_ui_tests PRIVATE
    TELVANE_TEST_BUNDLE="${TELVANE_RESOURCE_BUNDLE}"
    TELVANE_STALE_BUNDLE="${stale_rcc}"
    TELVANE_MOBILE_PROGRAM="$<TARGET_FILE:mobile>")
  add_dependencies(mobile_ui_tests mobile resource_bundle mobile_stale_bundle)

  # The frame's routing, hot tracking and balloon tips.
  mobile_qt_test(mobile_frame_tests SOURCES frame_test.cpp LIBS mobile_shell_ui Qt6::Widgets)
  target_compile_definitions(mobile_frame_tests PRIVATE TELVANE_TEST_BUNDLE="${TELVANE_RESOURCE_BUNDLE}")
  add_dependencies(mobile_frame_tests resource_bundle)
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
