ondrel_test(loans_window_test SOURCES loans_window_test.cpp loans_testutil.h LIBS ondrel_loans WINDOWS)
ondrel_test(loans_commands_test SOURCES loans_commands_test.cpp loans_testutil.h LIBS ondrel_loans WINDOWS)
