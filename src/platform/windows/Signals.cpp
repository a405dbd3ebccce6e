// Ctrl+C, Ctrl+Break and the closing of the console window ask the program
// to stop, as SIGINT, SIGBREAK and SIGTERM do on other systems.
#include "platform/Signals.h"

#include <csignal>

#include <atomic>

#include "platform/windows/Wide.h"

namespace toponyx::platform {
namespace {

std::atomic<void (*)(int)> stop_handler{nullptr};
std::atomic<bool> stopping{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int signal_number = 0;
  switch (event) {
    case CTRL_C_EVENT:
      signal_number = SIGINT;
      break;
    case CTRL_BREAK_EVENT:
      signal_number = SIGBREAK;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      signal_number = SIGTERM;
      break;
    default:
      return FALSE;
  }
  // A second request ends the program the default way.
  void (*handler)(int) = stop_handler.load();
  if (handler == nullptr || stopping.exchange(true)) return FALSE;
  handler(signal_number);
  // For a closing console the system ends the process once this returns:
  // the run gets the time the system allows to stop and clean up, and the
  // program's own end ends this thread with it.
  if (signal_number == SIGTERM) ::Sleep(4500);
  return TRUE;
}

}  // namespace

void OnStopSignals(void (*handler)(int)) {
  stop_handler.store(handler);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace toponyx::platform
