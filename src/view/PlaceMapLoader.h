// Builds the map of a table on a thread of its own while the grid is in use,
// and hands each snapshot to the window's thread by a queued signal. Start
// again, Stop, or the loader's end stop the thread before they return.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/File.h"
#include "view/PlaceMap.h"

namespace toponyx::desktop {

class PlaceMapLoader : public QObject {
  Q_OBJECT

 public:
  explicit PlaceMapLoader(platform::FileSystem& fs = platform::DefaultFileSystem(),
                          QObject* parent = nullptr);
  ~PlaceMapLoader() override;

  // Starts building the map of the table file at path (stopping any earlier build).
  void Start(const std::string& path);
  void Stop();

 signals:
  // A snapshot or the finished map, on the window's thread; never one of
  // a build that was stopped.
  void MapChanged(std::shared_ptr<toponyx::desktop::PlaceMap> map);
  // From the building thread (queued to Deliver).
  void Published(quint64 generation, std::shared_ptr<toponyx::desktop::PlaceMap> map);

 private:
  void Deliver(quint64 generation, std::shared_ptr<toponyx::desktop::PlaceMap> map);

  platform::FileSystem& fs_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  quint64 generation_ = 0;
};

}  // namespace toponyx::desktop

Q_DECLARE_METATYPE(std::shared_ptr<toponyx::desktop::PlaceMap>)
