// A thread that does one job at a time beside its owner: Run hands it the
// next job once the one before is done (so at most one job and the owner's
// own work overlap), Wait waits for it. A job's failure is thrown to the
// owner by the next Run or Wait. Without a thread (threaded false) every
// job runs at once on the owner's thread, so both ways give the same
// results.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace toponyx::platform {

class Worker {
 public:
  explicit Worker(bool threaded) {
    if (threaded) thread_ = std::thread(&Worker::Loop, this);
  }
  ~Worker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();  // after the job in hand
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void Run(std::function<void()> job) {
    if (!thread_.joinable()) {
      job();
      return;
    }
    Wait();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = std::move(job);
    }
    changed_.notify_all();
  }

  void Wait() {
    if (!thread_.joinable()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return job_ || stop_; });
      if (!job_) return;
      lock.unlock();
      std::exception_ptr failure;
      try {
        job_();
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      failure_ = failure;
      job_ = nullptr;
      changed_.notify_all();
    }
  }

  std::function<void()> job_;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace toponyx::platform
