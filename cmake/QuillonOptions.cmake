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

# Windows: executables that need no DLL beyond the system's own (the C++
# runtime and winpthread linked in), and <windows.h> without its min/max
# macros and rarely used parts.
if(WIN32)
  target_compile_definitions(quillon_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_options(quillon_options INTERFACE -static)
endif()

# Sources chosen by operating system: a layer's folder holds what every
# system shares, and its subfolders named here hold one system's side of the
# same headers (platform/posix/text_codec.cpp beside platform/win32/...).
# Nothing above the platform layer tells the systems apart with #if.
if(WIN32)
  set(QUILLON_SYSTEM_FOLDERS win32)
else()
  set(QUILLON_SYSTEM_FOLDERS posix linux)
endif()

# The .cpp files of dir for this system: dir itself and its system folders.
function(quillon_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(system ${QUILLON_SYSTEM_FOLDERS})
    file(GLOB system_sources CONFIGURE_DEPENDS ${dir}/${system}/*.cpp)
    list(APPEND sources ${system_sources})
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

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

# The *_test.cpp files of a test folder for this system: the folder's own
# and its system folders' (tests/platform/win32/...). POSIX_ONLY names files
# of the folder that need what only POSIX has (a pty, fork, FIFOs, modes,
# links, sysfs); other systems leave them out.
function(quillon_test_sources out dir)
  cmake_parse_arguments(ARG "" "" "POSIX_ONLY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  foreach(system ${QUILLON_SYSTEM_FOLDERS})
    file(GLOB system_sources CONFIGURE_DEPENDS ${dir}/${system}/*_test.cpp)
    list(APPEND sources ${system_sources})
  endforeach()
  if(WIN32)
    foreach(file ${ARG_POSIX_ONLY})
      list(REMOVE_ITEM sources ${dir}/${file})
    endforeach()
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# One GoogleTest executable, registered with CTest. QT: includes Qt headers.
function(quillon_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillon_test_support GTest::gtest GTest::gtest_main
    quillon_options)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE quillon_charset_qt)
  else()
    target_link_libraries(${name} PRIVATE quillon_charset)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(CMAKE_CROSSCOMPILING)
    # Under the emulator (Wine) each start costs far more than a test: one
    # CTest entry per executable, in a Wine prefix of the build's own.
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300
      ENVIRONMENT "WINEPREFIX=${PROJECT_BINARY_DIR}/wine-prefix;WINEDEBUG=-all")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
