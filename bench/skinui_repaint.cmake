# The window library: building and laying out a main-window skin with a 1,000-row list, and one
# full repaint at 600 x 800 in SDL's software renderer, beside drawing the same rows straight
# through SDL (the floor any library on SDL can reach).
if(TARGET skinui_sdl)
  tarvix_executable(skinui_repaint_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/skinui_repaint_bench.cc
    LIBS skinui_sdl benchmark::benchmark)
endif()
