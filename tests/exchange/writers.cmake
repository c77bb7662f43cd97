# The CSV, iCalendar and TaskJuggler writers against LibreOffice Calc, python3's icalendar module
# and tj3 (each test skips without its program, and fails without it when VAZADOD_CI is set).
vz_add_test(exchange_writers_test
  writersCsvTest.cpp
  writersICalendarTest.cpp
  writersTaskJugglerTest.cpp
  writersTestUtil.cpp
  LIBS vz_exchange)
