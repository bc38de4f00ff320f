# The main window under load: timer lateness and process CPU while a serial
# port receives at 460800 baud. Needs the windowed program's parts (Qt).
if(TARGET quillon_app)
  add_executable(bench_app app_bench.cpp)
  target_link_libraries(bench_app PRIVATE quillon_app quillon_options quillon_charset_qt util)
endif()
