# GUI tests of the Win32 window layer: built with the program's resources
# (common controls v6, per-monitor dpi) and run under Wine on an Xvfb
# display of their own at 96 dpi (tests/win32-gui/xvfb-wine).
function(quillon_win32_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  quillon_test(${name} SOURCES ${ARG_SOURCES} $<TARGET_OBJECTS:quillon_win32_resources>
    DEPS ${ARG_DEPS} LABELS "${ARG_LABELS}")
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/window/win32)
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/win32-gui/xvfb-wine)
  # A Wine prefix of its own: a wineserver that the display-less core tests
  # started has no desktop on this test's display.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEPREFIX=${PROJECT_BINARY_DIR}/wine-prefix-${name};WINEDEBUG=-all")
endfunction()
