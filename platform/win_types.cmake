# Windows-style handles, message numbers and flags (header only), shared by the window library and
# the gate client's hand-over to the window thread.
add_library(platform_win INTERFACE)
target_include_directories(platform_win INTERFACE ${PROJECT_SOURCE_DIR})
