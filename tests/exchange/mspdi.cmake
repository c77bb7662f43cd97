# MS Project XML: round trips of random plans, the Planner's stylesheet as a reader of the
# export, TaskJuggler as a writer for the import, and files made to break the import.
vz_add_test(exchange_mspdi_test mspdiTest.cpp mspdiHostileTest.cpp LIBS vz_exchange)
