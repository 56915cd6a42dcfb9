ondrel_test(catalogue_browse_test SOURCES catalogue_browse_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
ondrel_test(catalogue_find_test SOURCES catalogue_find_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
ondrel_test(catalogue_picture_test SOURCES catalogue_picture_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
ondrel_test(catalogue_print_test SOURCES catalogue_print_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
ondrel_test(catalogue_hostile_test SOURCES catalogue_hostile_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
