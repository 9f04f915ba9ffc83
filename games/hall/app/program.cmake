# The hall program itself: the composition root that makes the program-wide objects and runs the
# start-up. It is installed into the program folder beside brimsett.
find_package(CURL REQUIRED)
tarvix_executable(tarvix
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tarvix_main.cc
  LIBS hall_startup hall_main_frame hall_login hall_update_flow hall_runtime hall_plan_manager
       hall_account_store platform_registry platform_web_link skinui_sdl CURL::libcurl)
tarvix_install_program(tarvix)
