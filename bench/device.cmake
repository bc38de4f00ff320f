# Serial device layer: throughput of the reader path through a pseudo-terminal.
# It sets up its plain reader as the engine does, so it sees the engine's
# private headers.
quillon_bench(serial_engine_bench DEPS quillon_device)
get_target_property(engine_dir quillon_device QUILLON_SERIAL_ENGINE_DIR)
target_include_directories(bench_serial_engine_bench PRIVATE ${engine_dir})
