# The headless bridge under load: a pty flood and a paced stream, each into
# the bridge process and out to a receiver on 127.0.0.1.
if(TARGET quillon-bridge)
  quillon_bench(bridge_bench DEPS quillon_platform)
  target_include_directories(bench_bridge_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(bench_bridge_bench PRIVATE QUILLON_BRIDGE_EXE="$<TARGET_FILE:quillon-bridge>")
  target_link_libraries(bench_bridge_bench PRIVATE util)
  add_dependencies(bench_bridge_bench quillon-bridge)
endif()
# Console: the reader's hand-off of received text while the console is open.
quillon_bench(console_text_bench DEPS quillon_bridge)
target_link_libraries(bench_console_text_bench PRIVATE benchmark::benchmark)
