# List-file URLs: the escape undoes, and a list path's URL keeps the base's scheme, host and folder
# with no query or fragment. The first byte picks HTTP or FTP.
tarvix_fuzz_target(url SOURCES url_fuzz.cc LIBS hall_update_checks)
