# The plan tree at 1,000 and 10,000 plans in one list: the refresh after a plan answer, and a
# full repaint of the main window scrolled to the middle (SDL software renderer), each beside its
# floor (texts made without controls; the visible rows drawn straight through SDL).
if(TARGET skinui_sdl)
  tarvix_executable(plan_tree_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/plan_tree_bench.cc
    LIBS hall_plan_views_testing skinui_sdl benchmark::benchmark)
  target_compile_definitions(plan_tree_bench PRIVATE
                             HALL_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/bin")
endif()
