#include "pipeline/PlaceStage.h"

namespace toponyx::pipeline {

// A stage and the sink after it.
class PlaceChain::Link final : public readers::PlaceSink {
 public:
  Link(std::shared_ptr<PlaceStage> stage, readers::PlaceSink& next)
      : stage_(std::move(stage)), next_(next), needs_numbers_(stage_->NeedsNumbers()) {}
  void Add(const readers::Place& place) override {
    if (needs_numbers_ && place.numbers_from_texts) {
      readers::Place p = place;
      p.latitude = readers::PositionValue(place.latitude_text);
      p.longitude = readers::PositionValue(place.longitude_text);
      p.numbers_from_texts = false;
      return stage_->Take(p, next_);
    }
    stage_->Take(place, next_);
  }
  PlaceStage& stage() { return *stage_; }

 private:
  std::shared_ptr<PlaceStage> stage_;
  readers::PlaceSink& next_;
  bool needs_numbers_;
};

PlaceChain::PlaceChain(const std::vector<std::shared_ptr<PlaceStage>>& stages,
                       readers::PlaceSink& last)
    : first_(&last) {
  // Built from the last stage back, each link leading to the one after it.
  links_.resize(stages.size());
  for (size_t i = stages.size(); i-- > 0;) {
    links_[i] = std::make_unique<Link>(stages[i], *first_);
    first_ = links_[i].get();
  }
}

PlaceChain::~PlaceChain() = default;

void PlaceChain::StartFile(const PlaceSource& source) {
  read_ = 0;
  for (const auto& link : links_) link->stage().StartFile(source);
}

std::vector<std::string> PlaceChain::Reports() const {
  std::vector<std::string> reports;
  for (const auto& link : links_) {
    std::string report = link->stage().Report();
    if (!report.empty()) reports.push_back(std::move(report));
  }
  return reports;
}

}  // namespace toponyx::pipeline
