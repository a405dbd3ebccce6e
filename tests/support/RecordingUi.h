// A front end for tests: keeps every message and stage event in order.
#pragma once

#include <string>
#include <vector>

#include "frontend/BuildUi.h"

namespace toponyx::testing {

struct RecordedMessage {
  MessageKind kind;
  std::string text;
  std::string caption;
  MessageButtons buttons;
};

class RecordingUi final : public BuildUi {
 public:
  void ShowMessage(MessageKind kind, std::string_view text, std::string_view caption,
                   MessageButtons buttons) override {
    messages.push_back({kind, std::string(text), std::string(caption), buttons});
    events.push_back("message");
  }
  void StageStarted(Stage stage) override {
    events.push_back("start " + std::to_string(static_cast<int>(stage)));
  }
  void StageFinished(Stage stage) override {
    events.push_back("done " + std::to_string(static_cast<int>(stage)));
  }
  void ProgressClosed() override { events.push_back("closed"); }
  void EnableView() override { events.push_back("view"); }
  void InputProgress(uint64_t done, uint64_t total) override {
    last_done = done;
    last_total = total;
  }
  void ProcessWindowEvents() override { ++breaths; }

  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& m : messages) t.push_back(m.text);
    return t;
  }

  std::vector<RecordedMessage> messages;
  std::vector<std::string> events;
  uint64_t last_done = 0;
  uint64_t last_total = 0;
  int breaths = 0;
};

}  // namespace toponyx::testing
