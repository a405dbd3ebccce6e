// A Create run on a thread of its own, so that the windows repaint and the
// progress window's Cancel is heard while the run works. The caller waits
// in an event loop of its own until the run is over, as it waited for the
// run on the GUI thread before.
#pragma once

#include "pipeline/Build.h"

namespace toponyx::desktop {

// Runs builder.Create(request) on a worker thread and returns its outcome
// when the run has ended (an exception that escapes the run is a failure
// with its message). Meanwhile the GUI thread processes its events, but no
// user input reaches a window unless a modal window (the progress window, a
// message box of the run) is up: before the progress window appears and
// after it has closed, the windows wait, as they did while the run held the
// GUI thread.
pipeline::BuildOutcome CreateOnWorkerThread(pipeline::Builder& builder,
                                            const pipeline::BuildRequest& request);

}  // namespace toponyx::desktop
