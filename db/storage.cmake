# Storage: file access, caches, encryption, transactions, file layout and page allocation.
add_library(vz_db_storage STATIC
  zuzError.cpp
  zuzLogger.cpp
  zuzPosixFile.cpp
  zuzMemoryFile.cpp
  zuzFaultFile.cpp
  zuzCrypt.cpp
  zuzCache.cpp
  zuzFile.cpp
  zuzSystemInfo.cpp
  zuzGlobalHdr.cpp
  zuzDbHeader.cpp
  zuzMapPage.cpp
  zuzDisk.cpp
  zuzTableHeader.cpp
  zuzIOInterface.cpp
  zuzTableHeaderMgr.cpp
  zuzFieldTypes.cpp
  zuzUtf8.cpp
)
target_link_libraries(vz_db_storage PUBLIC ZLIB::ZLIB PkgConfig::NETTLE)
