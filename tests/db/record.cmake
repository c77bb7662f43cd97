# Record layer tests: definitions, records, blobs, row operations, catalogues.
vz_add_test(db_record_test dbRecordTest.cpp LIBS vz_db)
vz_add_test(db_record_random_test dbRecordRandomTest.cpp LIBS vz_db)
vz_add_test(db_inspect_tables_test dbInspectTablesTest.cpp LIBS vz_db)
target_compile_definitions(db_inspect_tables_test PRIVATE VZ_ZUZINSPECT="$<TARGET_FILE:zuzinspect>")
add_dependencies(db_inspect_tables_test zuzinspect)
