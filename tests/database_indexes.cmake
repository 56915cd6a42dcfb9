# The folded keys, sort and search indexes and change ledger of a collection.
ondrel_test(database_indexes SOURCES database_indexes.cpp database_testutil.h LIBS ondrel_collection)
