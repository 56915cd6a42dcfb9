# The benchmark is no timed test; its quick mode (small collection, three
# repetitions) runs here so that it keeps building, running and agreeing with
# the raw SQLite floor.
if(TARGET ondrel-bench OR EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_test(NAME bench_smoke COMMAND ondrel-bench --quick)
  set_tests_properties(bench_smoke PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 60)
endif()
