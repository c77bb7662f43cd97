# The fuzz targets: vz_fuzz_target(<name> LIBS <libraries>) for each fuzz/<name>.cpp, which
# defines LLVMFuzzerTestOneInput, with its seed corpus in fuzz/corpus/<name>/. The fuzz build
# (-DVAZADOD_FUZZ=ON, clang) makes a libFuzzer program of each; the ordinary build makes a replay
# program of each that feeds every seed to the same entry point, run as a CTest test.
vz_fuzz_target(sql_parser LIBS vz_db_sql)
vz_fuzz_target(sql_engine LIBS vz_db_objects)
vz_fuzz_target(xpath LIBS vz_planner_xml)
vz_fuzz_target(db_file LIBS vz_db_index)
vz_fuzz_target(xml_reader LIBS vz_planner_xml)
vz_fuzz_target(report_markup LIBS vz_report)
vz_fuzz_target(mspdi_import LIBS vz_exchange)
