// The signals that ask a program to stop (Ctrl+C, a plain kill, a closed
// terminal): a handler of the program's own instead of the default end, so
// that a run can stop cleanly.
#pragma once

namespace toponyx::platform {

// Calls handler(signal number) on SIGINT, SIGTERM or SIGHUP. The handler
// runs once: a second such signal ends the program the default way, so a
// run that does not stop can still be ended. The handler may only do what
// is safe in a signal handler (set a flag, store to a lock-free atomic).
void OnStopSignals(void (*handler)(int));

}  // namespace toponyx::platform
