ondrel_test(help_test SOURCES help_test.cpp loans_testutil.h LIBS ondrel_catalogue ondrel_loans ondrel_search ondrel_chrome WINDOWS)
# The home link's address as the build set it, and the version the page about Ulmix names.
target_compile_definitions(help_test PRIVATE ONDREL_HOME_URL="${ONDREL_HOME_URL}" ONDREL_VERSION="${PROJECT_VERSION}")
