# Every window and dialog laid out as a person sees it, at two scale factors.
ondrel_test(windows_layout_test SOURCES windows_layout_test.cpp loans_testutil.h
            LIBS ondrel_catalogue ondrel_loans ondrel_search ondrel_chrome WINDOWS SCALES 1 1.5)
