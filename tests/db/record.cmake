# Record layer tests: definitions, records, blobs, row operations, catalogues.
vz_add_test(db_record_test dbRecordTest.cpp LIBS vz_db)
vz_add_test(db_record_random_test dbRecordRandomTest.cpp LIBS vz_db)
