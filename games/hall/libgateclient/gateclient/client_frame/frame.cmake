# The client frame: gate address choice, connect and reconnect, heartbeat, the payload transform
# and the gate-kind protocol handling, joined to the session, the requests and the dispatch.
tarvix_library(gateclient_frame
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/client_frame.cc
    ${CMAKE_CURRENT_LIST_DIR}/frame_send_path.cc
    ${CMAKE_CURRENT_LIST_DIR}/gate_client_proc.cc
    ${CMAKE_CURRENT_LIST_DIR}/payload_cipher.cc
  PUBLIC_LIBS gateclient_net gateclient_command gateclient_publisher gateclient_job
              gateclient_config gateclient_crypto gateclient_log gateclient_handover
              gateclient_protocol)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_frame)

tarvix_test(gateclient_frame_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_frame_test.cc
  LIBS gateclient_frame testing_gate
  LABEL integration
  TIMEOUT 180)

# A network agent without a network, so a frame runs headless with the test playing the gate.
tarvix_library(gateclient_scripted_agent
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/testing/scripted_agent.cc
  PUBLIC_LIBS gateclient_net gateclient_base wire)

tarvix_test(gateclient_frame_headless_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_frame_headless_test.cc
  LIBS gateclient_frame gateclient_scripted_agent update_server_fixture)
