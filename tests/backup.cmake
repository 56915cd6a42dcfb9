# Copies of the collection. The engine and command test owns the plug-in's
# bus name on a bus of its own and runs the built executable.
ondrel_test(database_backup SOURCES database_backup.cpp database_testutil.h LIBS ondrel_collection Qt6::DBus DBUS)
target_compile_definitions(database_backup PRIVATE ONDREL_EXE="$<TARGET_FILE:ondrel>")
add_dependencies(database_backup ondrel)
ondrel_test(catalogue_backup_test SOURCES catalogue_backup_test.cpp catalogue_browse_testutil.h database_testutil.h
            LIBS ondrel_plugin ondrel_search ondrel_chrome WINDOWS)
