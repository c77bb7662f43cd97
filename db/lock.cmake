# Multi-user locking: the lock file with its user slots, and the byte-range lock managers.
add_library(vz_db_lock STATIC
  zuzLockMgrUnit.cpp
  zuzUserMonitor.cpp
  zuzMultiUserLocks.cpp
)
target_link_libraries(vz_db_lock PUBLIC vz_db_storage)
# The disk manager takes its default lock provider from this library (MakeDefaultLockProvider),
# so whatever links the storage layer links the locks too.
target_link_libraries(vz_db_storage PUBLIC vz_db_lock)
