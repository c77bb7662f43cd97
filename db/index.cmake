# Indexes: keys built from records and compared under a table's sort order, and the B+tree of an
# index in fixed-size nodes.
add_library(vz_db_index STATIC
  zuzIndexUnit.cpp
  zuzKeyCollation.cpp
  zuzKeyFormat.cpp
  zuzBTreeNode.cpp
  zuzBTree.cpp
  zuzBTreeCheck.cpp
  zuzIndexReadAhead.cpp
  zuzIndexHashList.cpp
)
target_link_libraries(vz_db_index PUBLIC vz_db_storage)
