# The user's session with the gate and the login digest.
tarvix_library(gateclient_session
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gate_session.cc
    ${CMAKE_CURRENT_LIST_DIR}/login_digest.cc
  PUBLIC_LIBS gateclient_command gateclient_crypto)
target_link_libraries(gateclient_client_frame INTERFACE gateclient_session)

tarvix_test(gateclient_session_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gate_session_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/login_digest_test.cc
  LIBS gateclient_session)
