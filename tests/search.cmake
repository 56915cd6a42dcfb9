ondrel_test(search_test SOURCES search_test.cpp loans_testutil.h LIBS ondrel_search ondrel_catalogue ondrel_loans WINDOWS)
