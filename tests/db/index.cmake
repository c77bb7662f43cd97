# Index layer tests: key entries and sort orders, the tree, and the tree against a model.
vz_add_test(db_index_key_test dbIndexKeyTest.cpp LIBS vz_db)
vz_add_test(db_btree_test dbBTreeTest.cpp LIBS vz_db)
vz_add_test(db_btree_random_test dbBTreeRandomTest.cpp LIBS vz_db)
