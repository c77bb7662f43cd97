# Record layer tests: definitions, records, blobs, row operations, catalogues.
vz_add_test(db_record_test dbRecordTest.cpp LIBS vz_db)
vz_add_test(db_record_random_test dbRecordRandomTest.cpp LIBS vz_db)
vz_add_test(db_dump_tables_test dbDumpTablesTest.cpp LIBS vz_db)
target_compile_definitions(db_dump_tables_test PRIVATE VZ_ZUZDUMP="$<TARGET_FILE:zuzdump>")
add_dependencies(db_dump_tables_test zuzdump)
