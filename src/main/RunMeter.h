// Where a Create run stands, as one share of the whole run: the stage
// changes and the progress reports of its phases, each phase weighted by
// the part of a run it usually takes, with the places read so far and an
// estimate of the time left. Plain arithmetic over the reports; the times
// are seconds from any fixed start.
#pragma once

#include <QString>
#include <cstdint>

#include "frontend/BuildUi.h"

namespace toponyx::desktop {

class RunMeter {
 public:
  // Where each part of a run ends, as a share of the whole: measured on
  // GeoNames and Toponyx text files of one and three million lines, where
  // reading (with the index's runs sorted beside it) takes 44 to 54 % of a
  // run, the index's last merge 1.5 to 3 %, the ordered copy 33 to 35 % and
  // the types file with the renames 10 to 17 %. Archives are expanded first
  // and report no progress of their own (but for gzip).
  static constexpr double kStagedEnd = 0.03;
  static constexpr double kReadEnd = 0.50;
  static constexpr double kIndexedEnd = 0.53;
  static constexpr double kCopiedEnd = 0.88;

  // A new run, started at now.
  void Start(double now);
  void StageStarted(Stage stage);
  void StageFinished(Stage stage);
  void Progress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places);

  // From 0 to 1, never less than before in the same run; 1 only once the
  // last stage has finished.
  double Share() const { return share_; }
  uint64_t Places() const { return places_; }
  // The seconds the run still needs at the pace it has had, or a negative
  // value while too little of it has gone by to tell.
  double SecondsLeft(double now) const;

 private:
  void Reach(double share);

  double start_ = 0;
  double share_ = 0;
  uint64_t places_ = 0;
  Stage stage_ = Stage::kDecompressing;
  bool saved_ = false;
};

// "2,500,000": a count with its thousands grouped, as the run's texts show it.
QString CountText(uint64_t count);
// "0.04 s", "0.4 s", "38 s", "2 min 5 s": how long a run took.
QString RunTimeText(double seconds);
// "a few seconds left", "about 25 s left", "about 3 min left"; empty for a
// negative value (no estimate yet).
QString TimeLeftText(double seconds);

}  // namespace toponyx::desktop
