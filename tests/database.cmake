# Tests of the collection database engine layer.
ondrel_test(database_values SOURCES database_values.cpp LIBS ondrel_collection)
ondrel_test(database_dialect SOURCES database_dialect.cpp database_testutil.h LIBS ondrel_collection)
ondrel_test(database_file SOURCES database_file.cpp database_testutil.h LIBS ondrel_collection)
ondrel_test(database_recordset SOURCES database_recordset.cpp database_testutil.h LIBS ondrel_collection)

# The crash test kills a writer child with SIGKILL, ends one as "Sair" does,
# reads as an unprivileged user and interrupts the creation of a file.
add_executable(database_crash_child database_crash_child.cpp)
target_link_libraries(database_crash_child PRIVATE ondrel_collection)
ondrel_test(database_crash SOURCES database_crash.cpp database_testutil.h LIBS ondrel_collection)
target_compile_definitions(database_crash PRIVATE CRASH_CHILD="$<TARGET_FILE:database_crash_child>"
                                                  ONDREL_EXE="$<TARGET_FILE:ondrel>")
add_dependencies(database_crash database_crash_child ondrel)

ondrel_test(database_fullsize SOURCES database_fullsize.cpp LIBS ondrel_collection)
