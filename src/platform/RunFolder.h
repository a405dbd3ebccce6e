// The private folder of one run inside a folder the user chose (the
// staging folder, the save folder). It is created exclusively, carries a
// marker file of this program, and the marker is locked for as long as the
// process lives: the lock goes with the process however it ends, so a
// folder whose marker nobody holds was left by a run that was killed. Such
// folders are removed by the next run that opens a run folder beside them;
// nothing else is ever touched (a folder without the marker, a folder of
// another user, a folder of a live run).
//
// A run folder may claim a name (the database a run writes into the save
// folder): while it lives, no second run folder with the same claim can be
// opened in the same folder, so two runs never write one database at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace toponyx::platform {

class RunFolder {
 public:
  enum class Result { kCreated, kClaimed, kFailed };

  // Removes the folders that killed runs left in parent, then creates a new
  // run folder there. kClaimed: a live run folder in parent holds the same
  // claim (nothing is created). kFailed: the folder cannot be created
  // (error() of the returned object says why).
  static std::unique_ptr<RunFolder> Open(const std::string& parent, std::string_view claim,
                                         Result& result, std::string& error);
  ~RunFolder();  // removes the folder with all it holds
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& path() const { return path_; }

  // Files put in place as one: each a file of the run folder and the name
  // it takes in the parent folder.
  using Moves = std::vector<std::pair<std::string, std::string>>;
  // The commit record that stands in the run folder (kCommitRecord) while
  // its files are put in place: once it is whole on the disk, the moves
  // complete, by this run or, should it be killed, by the next run that
  // opens a run folder beside it (or RemoveAbandoned), before anything
  // else is done there. The record's last line is "end": a record cut
  // short by a kill is no record, and the folder then goes as any other.
  static std::string CommitRecordText(const Moves& moves);
  // The moves of a whole record; false for anything else (cut short, or
  // naming anything but bare file names).
  static bool ParseCommitRecord(std::string_view text, Moves& moves);
  // While a commit is pending, the folder is left as it is when the run
  // ends (with its record, for the next run to complete).
  void SetCommitPending(bool pending) { commit_pending_ = pending; }

  // Removes the run folders that killed runs left in parent; returns how
  // many were removed.
  static int RemoveAbandoned(const std::string& parent);

  // The name prefix of run folders and the name of their marker file.
  static constexpr std::string_view kPrefix = "toponyx-run-";
  static constexpr std::string_view kMarker = ".toponyx-run";
  static constexpr std::string_view kCommitRecord = ".toponyx-commit";

 private:
  RunFolder(std::string path, intptr_t lock) : path_(std::move(path)), lock_(lock) {}

  std::string path_;
  intptr_t lock_;  // what holds the marker's lock (a descriptor, a handle)
  bool commit_pending_ = false;
};

}  // namespace toponyx::platform
