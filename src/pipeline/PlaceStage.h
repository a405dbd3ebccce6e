// Between the readers and the table stands a chain of place stages, empty
// unless the user chose what goes in: each stage sees every place with its
// numbers and the file it came from, and passes it on, changes it, or
// leaves it out. The table writer is the last link.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "readers/Formats.h"
#include "readers/Place.h"

namespace toponyx::pipeline {

// The file whose places pass.
struct PlaceSource {
  std::string_view file;                       // as the user knows it
  const readers::FormatRow* format = nullptr;  // what it was recognised as
};

class PlaceStage {
 public:
  virtual ~PlaceStage() = default;
  // Before the first place of each file.
  virtual void StartFile(const PlaceSource& source) { (void)source; }
  // Passes the place on to next (as it is or changed, once or more often),
  // or leaves it out.
  virtual void Take(const readers::Place& place, readers::PlaceSink& next) = 0;
  // Whether Take reads the place's numbers: a place whose numbers are
  // still its texts has them reckoned before the first stage that does.
  virtual bool NeedsNumbers() const { return true; }
  // What the stage did over the run, for the result line and the summary
  // ("1,204 places outside the area left out"); "" when there is nothing
  // to say.
  virtual std::string Report() const { return {}; }
};

// The readers' sink: the places of the current file are counted as read,
// then go through every stage in order into the last link.
class PlaceChain final : public readers::PlaceSink {
 public:
  PlaceChain(const std::vector<std::shared_ptr<PlaceStage>>& stages, readers::PlaceSink& last);
  ~PlaceChain() override;
  PlaceChain(const PlaceChain&) = delete;
  PlaceChain& operator=(const PlaceChain&) = delete;

  // A new file: its count of places read starts at 0.
  void StartFile(const PlaceSource& source);
  void Add(const readers::Place& place) override {
    ++read_;
    first_->Add(place);
  }
  // Places the readers gave since StartFile.
  uint64_t read() const { return read_; }
  // The reports of the stages that have something to say, in chain order.
  std::vector<std::string> Reports() const;

 private:
  class Link;
  std::vector<std::unique_ptr<Link>> links_;
  readers::PlaceSink* first_;
  uint64_t read_ = 0;
};

}  // namespace toponyx::pipeline
