# The registration services behind the local gate: captchas drawn here, scripted registrations.
tarvix_library(testing_gate_register
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/captcha_png.cc
    ${CMAKE_CURRENT_LIST_DIR}/register_services.cc
  PUBLIC_LIBS testing_gate_hall wire)

# The captchas are decoded with SDL_image, as the hall decodes them.
if(TARGET skinui_sdl)
  tarvix_test(testing_gate_register_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/register_services_test.cc
    LIBS testing_gate_register skinui_sdl
    LABEL integration)
endif()
