# Build settings shared by every target.
#
# quillon_options: warnings, threads, sanitizers (public: spreads to users).
# quillon_charset: source files are UTF-8, the program's texts are code page
#   936 bytes. Linked privately by each target, so it never clashes with
#   quillon_charset_qt.
# quillon_charset_qt: for targets that include Qt headers. Qt includes C++20
#   <chrono>, whose "\u00b5s" literal GBK cannot encode, so these targets use
#   GB18030, which encodes every GBK character with the same bytes.
#   Core code does not include <chrono> for the same reason: <thread>, <mutex>
#   and <condition_variable> bring std::chrono's clocks and durations.
add_library(quillon_options INTERFACE)
target_compile_options(quillon_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
target_compile_features(quillon_options INTERFACE cxx_std_20)
find_package(Threads REQUIRED)
target_link_libraries(quillon_options INTERFACE Threads::Threads)

add_library(quillon_charset INTERFACE)
target_compile_options(quillon_charset INTERFACE -finput-charset=UTF-8 -fexec-charset=GBK)
add_library(quillon_charset_qt INTERFACE)
target_compile_options(quillon_charset_qt INTERFACE -finput-charset=UTF-8 -fexec-charset=GB18030)

if(QUILLON_SANITIZE)
  target_compile_options(quillon_options INTERFACE
    -fsanitize=${QUILLON_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all -g)
  target_link_options(quillon_options INTERFACE -fsanitize=${QUILLON_SANITIZE})
endif()

# One static library per source folder. QT: the target includes Qt headers.
function(quillon_library name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE quillon_options ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC quillon_options ${ARG_DEPS})
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE quillon_charset_qt)
  else()
    target_link_libraries(${name} PRIVATE quillon_charset)
  endif()
endfunction()

# One GoogleTest executable, registered with CTest. QT: includes Qt headers.
function(quillon_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main quillon_options)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE quillon_charset_qt)
  else()
    target_link_libraries(${name} PRIVATE quillon_charset)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
