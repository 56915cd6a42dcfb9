# The listing written by the command line: the test runs the built executable.
ondrel_test(listing_export_test SOURCES listing_export_test.cpp catalogue_browse_testutil.h
            LIBS ondrel_catalogue ondrel_search ondrel_chrome WINDOWS)
target_compile_definitions(listing_export_test PRIVATE ONDREL_EXE="$<TARGET_FILE:ondrel>")
add_dependencies(listing_export_test ondrel)
