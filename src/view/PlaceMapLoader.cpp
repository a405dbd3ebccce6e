#include "view/PlaceMapLoader.h"

#include <exception>

#include "dbf/RecordFile.h"

namespace toponyx::desktop {

PlaceMapLoader::PlaceMapLoader(platform::FileSystem& fs, QObject* parent)
    : QObject(parent), fs_(fs) {
  qRegisterMetaType<std::shared_ptr<PlaceMap>>();
  connect(this, &PlaceMapLoader::Published, this, &PlaceMapLoader::Deliver, Qt::QueuedConnection);
}

PlaceMapLoader::~PlaceMapLoader() {
  Stop();
}

void PlaceMapLoader::Start(const std::string& path) {
  Stop();
  stop_ = false;
  const quint64 generation = ++generation_;
  thread_ = std::thread([this, path, generation] {
    auto publish = [this, generation](std::shared_ptr<PlaceMap> map) {
      if (!stop_) emit Published(generation, std::move(map));
    };
    dbf::RecordFile file(fs_);
    try {
      file.Open(path);
    } catch (const std::exception& e) {
      auto failed = std::make_shared<PlaceMap>();
      failed->error = std::string("No map: ") + e.what();
      publish(std::move(failed));
      return;
    }
    BuildPlaceMap(file, stop_, publish);
  });
}

void PlaceMapLoader::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ++generation_;  // whatever is still queued is dropped
}

void PlaceMapLoader::Deliver(quint64 generation, std::shared_ptr<PlaceMap> map) {
  if (generation == generation_) emit MapChanged(std::move(map));
}

}  // namespace toponyx::desktop
