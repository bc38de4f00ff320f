# Serial device layer: throughput of the reader path through a pseudo-terminal.
quillon_bench(serial_engine_bench DEPS quillon_device)
