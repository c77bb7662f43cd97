# Indexes: keys built from records and compared under a table's sort order, the B+tree of an
# index in fixed-size nodes, the index manager of an open table, the rebuild of a table's
# indexes, and the index changes of a restructure with their recovery copy.
add_library(vz_db_index STATIC
  zuzIndexUnit.cpp
  zuzKeyCollation.cpp
  zuzKeyFormat.cpp
  zuzBTreeNode.cpp
  zuzBTree.cpp
  zuzBTreeCheck.cpp
  zuzIndexReadAhead.cpp
  zuzIndexHashList.cpp
  zuzIndexManager.cpp
  zuzIndexCheck.cpp
  zuzReIndex.cpp
  zuzRestructureIndexDefs.cpp
  zuzRestructureCopy.cpp
  zuzRestructure.cpp
)
target_link_libraries(vz_db_index PUBLIC vz_db_record)
# The tables of the record layer keep their indexes with this library's index manager
# (MakeDefaultTableIndexes) and recover interrupted restructures with it (RecoverRestructure),
# so whatever links the record layer links the indexes too.
target_link_libraries(vz_db_record PUBLIC vz_db_index)
