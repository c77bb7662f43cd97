# Lock layer tests: lock managers, the lock file, the disk manager's locks between programs, and
# real programs (the helper dbLockPeer) sharing one database file.
vz_add_test(db_lock_test dbLockTest.cpp LIBS vz_db)

add_executable(db_lock_peer dbLockPeer.cpp)
target_link_libraries(db_lock_peer PRIVATE vz_db)
vz_add_test(db_lock_process_test dbLockProcessTest.cpp LIBS vz_db)
target_compile_definitions(db_lock_process_test PRIVATE VZ_LOCK_PEER="$<TARGET_FILE:db_lock_peer>")
add_dependencies(db_lock_process_test db_lock_peer)
