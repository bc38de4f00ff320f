# Parameter system: text form of a 1,000-item tree and lookup by name.
quillon_bench(params_bench DEPS quillon_params)
target_link_libraries(bench_params_bench PRIVATE benchmark::benchmark)
