#The program's one client frame: made, prepared and started by StartClientFrame.
tarvix_library(gateclient_program_frame SOURCES ${CMAKE_CURRENT_LIST_DIR} /
               program_frame.cc PUBLIC_LIBS gateclient_frame gateclient_log)
    target_link_libraries(gateclient_client_frame INTERFACE gateclient_program_frame)

        tarvix_test(gateclient_program_frame_test SOURCES ${CMAKE_CURRENT_LIST_DIR} /
                    program_frame_test.cc LIBS gateclient_program_frame testing_gate
                        update_server_fixture LABEL integration)
