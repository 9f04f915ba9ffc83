# The applier's command line: any parameter text splits by the C runtime's rules (checked against
# an encoder of those rules) and its switches read as the last of each; any values the hall sends
# arrive exactly, or the text visibly splits otherwise.
tarvix_fuzz_target(command_line SOURCES command_line_fuzz.cc LIBS brimsett_switch_checks)
