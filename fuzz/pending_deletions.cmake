# The applier's pending-deletions record (in the program folder, which anyone of the user's can
# change): whatever it says, a retry removes nothing outside the folder it works on.
tarvix_fuzz_target(pending_deletions SOURCES pending_deletions_fuzz.cc
  LIBS platform_pending_deletions_check)
