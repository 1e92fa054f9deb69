# Shared build settings: warning flags, sanitizers, and the one way to register a test.

add_library(varnet_warnings INTERFACE)
target_compile_options(varnet_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual)
if(VARNET_WERROR)
  target_compile_options(varnet_warnings INTERFACE -Werror)
endif()
target_compile_definitions(varnet_warnings INTERFACE
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  VARNET_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VARNET_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VARNET_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  VARNET_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})

# Where the package puts the programs (only root may write there) and the counter's files
# (the operators' group may write there). A program that runs from anywhere else keeps the
# counter's files beside itself.
set(VARNET_PROGRAM_DIR opt/varnet CACHE STRING "Program folder of the package, below /")
set(VARNET_COUNTER_DIR /var/lib/varnet CACHE PATH "Counter folder of the installed programs")
# The packing journal of an installed counter: written only by the journal service (its own
# system account), which the programs reach through a local socket.
set(VARNET_JOURNAL_DIR /var/lib/varnet-journal CACHE PATH "Journal folder of the installed counter")
set(VARNET_JOURNAL_SOCKET /run/varnet-journald.sock CACHE PATH "Socket of the journal service")
set(VARNET_JOURNAL_USER _varnet-journal CACHE STRING "System account of the journal service")

# Service endpoints used by the tests and the demo; scripts/services.sh reads the same values.
set(VARNET_PG_PORT 54329 CACHE STRING "Port of the test PostgreSQL server on loopback")
set(VARNET_PG_DIR /tmp/varnet-pg CACHE PATH "Data folder of the test PostgreSQL server")
set(VARNET_CUPS_QUEUE VarnetPDF CACHE STRING "CUPS queue of the test label printer that takes PDF (no driver)")
set(VARNET_CUPS_CAPTURE /var/spool/varnet-jobs CACHE PATH "Folder where the test queues store jobs")

# varnet_add_library(name SOURCES ... LINKS ...): one static library of ours.
function(varnet_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_LINKS} PRIVATE varnet_warnings)
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()

# varnet_add_test(name SOURCES ... LIBS ... [SERVICES postgres cups] [TIMEOUT s])
# A QTest executable run by CTest under the offscreen platform with a UTF-8 locale.
# SERVICES names the fixtures that scripts/services.sh starts before the test runs; a
# service that cannot be started fails the run instead of skipping the test.
function(varnet_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;SERVICES;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt6::Test varnet_testsupport ${T_LIBS} varnet_warnings)
  add_test(NAME ${name} COMMAND ${name})
  set(env
      QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
      PGPORT=${VARNET_PG_PORT} VARNET_PG_PORT=${VARNET_PG_PORT}
      VARNET_CUPS_QUEUE=${VARNET_CUPS_QUEUE} VARNET_CUPS_CAPTURE=${VARNET_CUPS_CAPTURE}
      VARNET_SOURCE_DIR=${CMAKE_SOURCE_DIR} VARNET_BINARY_DIR=${CMAKE_BINARY_DIR}
      # Read only by the asan and tsan builds: the frames of libraries we do not build.
      LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0
      TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/sanitizers/tsan.supp:print_suppressions=0
      ${T_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  if(T_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
  if(T_SERVICES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_SERVICES}")
  endif()
endfunction()
