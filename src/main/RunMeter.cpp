#include "main/RunMeter.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace toponyx::desktop {

namespace {
// Before this much of the run and this many seconds, a guess is no use.
constexpr double kShareForEstimate = 0.02;
constexpr double kSecondsForEstimate = 1.0;
}  // namespace

void RunMeter::Start(double now) {
  *this = RunMeter();
  start_ = now;
}

void RunMeter::Reach(double share) {
  // Only the last stage's end fills the bar.
  const double cap = saved_ ? 1.0 : kCopiedEnd;
  share_ = std::max(share_, std::min(share, cap));
}

void RunMeter::StageStarted(Stage stage) {
  stage_ = stage;
}

void RunMeter::StageFinished(Stage stage) {
  switch (stage) {
    case Stage::kDecompressing:
      Reach(kStagedEnd);
      break;
    case Stage::kCreatingTemporary:
      Reach(kIndexedEnd);
      break;
    case Stage::kGenerating:
      Reach(kCopiedEnd);
      break;
    case Stage::kSaving:
      saved_ = true;
      Reach(1.0);
      break;
  }
}

void RunMeter::Progress(RunPhase phase, uint64_t done, uint64_t total, uint64_t places) {
  places_ = std::max(places_, places);
  if (total == 0) return;
  const double part = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  double from = 0;
  double to = kStagedEnd;
  switch (phase) {
    case RunPhase::kReading:
      // A gzip file reports its expansion while the archives are staged.
      if (stage_ != Stage::kDecompressing) {
        from = kStagedEnd;
        to = kReadEnd;
      }
      break;
    case RunPhase::kIndexing:
      from = kReadEnd;
      to = kIndexedEnd;
      break;
    case RunPhase::kCopying:
      from = kIndexedEnd;
      to = kCopiedEnd;
      break;
  }
  Reach(from + (to - from) * part);
}

double RunMeter::SecondsLeft(double now) const {
  const double elapsed = now - start_;
  if (saved_) return 0;
  if (share_ < kShareForEstimate || elapsed < kSecondsForEstimate) return -1;
  return elapsed * (1 - share_) / share_;
}

QString CountText(uint64_t count) {
  return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qulonglong>(count));
}

QString RunTimeText(double seconds) {
  if (seconds < 0.095)
    return QString::number(std::max(0.0, seconds), 'f', 2) + QStringLiteral(" s");
  if (seconds < 9.95) return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
  const auto whole = static_cast<long long>(std::lround(seconds));
  if (whole < 60) return QStringLiteral("%1 s").arg(whole);
  return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60);
}

QString TimeLeftText(double seconds) {
  if (seconds < 0) return {};
  if (seconds < 10) return QStringLiteral("a few seconds left");
  if (seconds < 60) {
    const auto fives = std::lround(seconds / 5) * 5;
    return QStringLiteral("about %1 s left").arg(fives);
  }
  return QStringLiteral("about %1 min left").arg(static_cast<long long>(std::ceil(seconds / 60)));
}

}  // namespace toponyx::desktop
