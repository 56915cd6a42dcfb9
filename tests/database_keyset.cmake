# Finds by keyset position, snapshots read column by column, kept translations.
ondrel_test(database_keyset SOURCES database_keyset.cpp database_testutil.h LIBS ondrel_collection)
