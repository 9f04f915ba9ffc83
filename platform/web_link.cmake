#Opening web links in the desktop's browser.
tarvix_library(platform_web_link SOURCES ${CMAKE_CURRENT_LIST_DIR} /
               web_link.cc PUBLIC_LIBS platform_process)
