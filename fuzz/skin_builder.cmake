# Skins as text (they arrive with updates): the dialog builder makes a tree or nothing, which lays
# out and paints without reading an image outside the resource folder or past an image's edge.
tarvix_fuzz_target(skin_builder SOURCES skin_builder_fuzz.cc LIBS testing_skin_checks)
