# The hand-over of network results and trace texts to the main window's thread.
tarvix_library(gateclient_handover
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_result.cc
  PUBLIC_LIBS gateclient_base hall_text)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_handover)

tarvix_test(gateclient_handover_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_result_test.cc
  LIBS gateclient_handover)
