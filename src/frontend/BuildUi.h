// The one interface between the core and its front end. The desktop program
// implements it with dialogs and event processing, toponyx-create with
// stderr, the tests with a recorder that keeps every message text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace toponyx {

enum class MessageKind {
  kPlain,    // information box, no icon
  kWarning,  // warning icon
  kError,    // error icon
};

enum class MessageButtons {
  kOk,
  kAbort,  // a single Abort button (the gzip expander's error boxes)
};

// The four stages of a Create run, as the progress window lists them.
enum class Stage {
  kDecompressing = 1,  // "Decompressing archive files"
  kCreatingTemporary,  // "Creating temporary files"
  kGenerating,         // "Generating databases"
  kSaving,             // "Saving files"
};

// The parts of a Create run whose amount of work is known, for a progress
// bar over the whole run.
enum class RunPhase {
  kReading,   // the staged files: bytes read of all of them
  kIndexing,  // the name index: records sorted of all records
  kCopying,   // the ordered copy: records copied of all records
};

class BuildUi {
 public:
  virtual ~BuildUi() = default;

  // A modal message box with the exact text and caption. An empty caption
  // means the application's title.
  virtual void ShowMessage(MessageKind kind, std::string_view text, std::string_view caption = {},
                           MessageButtons buttons = MessageButtons::kOk) = 0;

  // The progress window: shown at the start of stage 1, closed at the end.
  virtual void StageStarted(Stage stage) { (void)stage; }
  virtual void StageFinished(Stage stage) { (void)stage; }
  virtual void ProgressClosed() {}
  // The finish step of every accepted run, before the progress window
  // closes: the View button becomes usable.
  virtual void EnableView() {}

  // Share of the input read so far while files are read (bytes of the
  // staged files); called at most once per block read.
  virtual void InputProgress(uint64_t done, uint64_t total) {
    (void)done;
    (void)total;
  }

  // Where the run stands: done of total in the phase's unit, and the
  // places appended to the working table so far. Called at most about once
  // per block read, per sorted run of the index, per 16,384 copied records.
  virtual void RunProgress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) {
    (void)phase;
    (void)done;
    (void)total;
    (void)places;
  }

  // Lets the window system process pending messages; called once per
  // block of archive data, now and then in long loops, and at stage changes.
  virtual void ProcessWindowEvents() {}
};

// A front end that shows nothing: for tools and tests that do not care.
class NullBuildUi final : public BuildUi {
 public:
  void ShowMessage(MessageKind, std::string_view, std::string_view, MessageButtons) override {}
};

}  // namespace toponyx
