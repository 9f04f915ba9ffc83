# Ini text: any bytes parse, and the text the tables are saved as reads back into the same tables.
tarvix_fuzz_target(ini_text SOURCES ini_text_fuzz.cc LIBS gateclient_config_check)
