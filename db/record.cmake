# Tables, records and blobs: table definitions and their text form, record and blob storage, the
# open-table object with its row operations, and the catalogues.
add_library(vz_db_record STATIC
  zuzObjectText.cpp
  zuzTableDef.cpp
  zuzBlob.cpp
  zuzRecordMgr.cpp
  zuzTableIndexes.cpp
  zuzDataUnit.cpp
  zuzTableMgrUnit.cpp
)
target_link_libraries(vz_db_record PUBLIC vz_db_lock)
