# Console: the reader's hand-off of received text while the console is open.
quillon_bench(console_text_bench DEPS quillon_ui)
target_link_libraries(bench_console_text_bench PRIVATE benchmark::benchmark)
