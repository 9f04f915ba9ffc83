# The registry store's file (where the saved accounts are read from): any bytes read as a tree or
# are refused, and a tree read or built by any edits writes out to a file that reads back the same.
tarvix_fuzz_target(registry_file SOURCES registry_file_fuzz.cc LIBS platform_registry_check)
