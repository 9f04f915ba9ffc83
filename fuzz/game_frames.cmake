# Any message a game sends: the frame decoders and what a plan table hands on to the gate.
tarvix_fuzz_target(game_frames SOURCES game_frames_fuzz.cc LIBS gateclient_plan_table_check)
