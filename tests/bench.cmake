# The benchmark is no timed test; its quick modes (small collections, few
# repetitions) run here so that it keeps building, running and agreeing with
# the raw SQLite floor, and so that the windows keep doing the work it times.
if(TARGET ondrel-bench OR EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_test(NAME bench_smoke COMMAND ondrel-bench --quick)
  add_test(NAME bench_windows_smoke COMMAND ondrel-bench --windows --quick)
  set_tests_properties(bench_smoke bench_windows_smoke PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
                                                                  TIMEOUT 60)
  # Alone: it keeps both cores busy for a moment, which would only slow the
  # window tests running beside it.
  set_tests_properties(bench_windows_smoke PROPERTIES RUN_SERIAL TRUE)
endif()
