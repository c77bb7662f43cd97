# Index layer tests: key entries and sort orders, the tree, and the tree against a model.
vz_add_test(db_index_key_test dbIndexKeyTest.cpp LIBS vz_db)
vz_add_test(db_btree_test dbBTreeTest.cpp LIBS vz_db)
vz_add_test(db_btree_random_test dbBTreeRandomTest.cpp LIBS vz_db)
# The index manager of a table, rebuilding indexes, and index restructures.
vz_add_test(db_index_manager_test dbIndexManagerTest.cpp LIBS vz_db)
vz_add_test(db_restructure_test dbRestructureTest.cpp LIBS vz_db)
vz_add_test(db_restructure_fault_test dbRestructureFaultTest.cpp LIBS vz_db)
vz_add_test(db_index_table_random_test dbIndexTableRandomTest.cpp LIBS vz_db)
