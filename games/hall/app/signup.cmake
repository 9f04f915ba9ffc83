# The hall's plan manager (the user's sign-ups and the gate's loss told to the main window) and
# the sign-up road: the game's check, the withdrawal, the details and the sign-up dialog.
tarvix_library(hall_plan_manager
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_plan_manager.cc
  PUBLIC_LIBS hall_my_match gateclient_plan_table skinui)
target_compile_options(hall_plan_manager PRIVATE -Werror=format)

tarvix_test(hall_plan_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hall_plan_manager_test.cc
  LIBS hall_plan_manager)
