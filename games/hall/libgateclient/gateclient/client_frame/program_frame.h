// The program's one client frame: StartClientFrame makes it, lets its creator file the frame's
// receivers (plan manager, catalogue) and starts it; everything that needs the program's gate
// connection finds it through ProgramClientFrame. DestroyClientFrame is the orderly end.
//
// Threads: start and destroy on the thread that owns the hall runtime (the window thread); the
// pointer may be read from any thread.
#pragma once

#include <functional>

#include "gateclient/client_frame/client_frame.h"

namespace qvc {

// Makes the program's client frame with `options`, runs `prepare` on it (before the job thread
// runs, so receivers can still be filed) and returns its Start. The log-sink list is made ready
// first. False, and nothing made or run, when the program already has a client frame; false too
// when Start fails (the frame then stays, stopped, until DestroyClientFrame).
bool StartClientFrame(ClientFrameOptions options,
                      const std::function<void(ClientFrame&)>& prepare = nullptr);

// The program's client frame, or null before StartClientFrame and after DestroyClientFrame.
ClientFrame* ProgramClientFrame();

// Stops the program's client frame (its threads joined) and destroys it; nothing without one.
// REQUIRES: whatever `prepare` filed on the frame has been let go; not from the job thread.
void DestroyClientFrame();

}  // namespace qvc
