#include "c4d_thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "runtime/threads.h"

namespace {

std::atomic<Int32> g_threadCount{0};

Int32 HardwareThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<Int32>(std::min<unsigned>(n, 1u << 16));
}

}  // namespace

namespace hostrt {

void SetThreadCount(Int32 count) {
  g_threadCount.store(count > 0 ? count : 0);
}

}  // namespace hostrt

Int32 GeGetCurrentThreadCount() {
  const Int32 n = g_threadCount.load();
  return n > 0 ? n : HardwareThreads();
}

void GeSleep(Int32 milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// --- C4DThread ---

C4DThread::C4DThread() = default;

C4DThread::~C4DThread() {
  End(true);
}

Bool C4DThread::Start(THREADMODE mode, THREADPRIORITY priority) {
  if (running_.load()) return false;
  Join();  // an earlier asynchronous run has returned; its OS thread is collected here
  mode_ = mode;
  priority_ = priority;
  break_.store(false);
  running_.store(true);
  if (mode == THREADMODE_SYNCHRONOUS) {
    Main();
    Finish();
    return true;
  }
  try {
    thread_ = std::thread([this] {
      Main();
      Finish();
    });
  } catch (const std::system_error&) {
    Finish();
    return false;
  }
  return true;
}

void C4DThread::Finish() {
  running_.store(false);
  running_.notify_all();
}

void C4DThread::End(Bool wait) {
  break_.store(true);
  if (wait) Wait(false);
}

void C4DThread::Wait(Bool checkevents) {
  (void)checkevents;
  Join();
  // A thread that a pool runs has no OS thread of its own: wait for its Main to return.
  if (thread_.get_id() != std::this_thread::get_id())
    while (running_.load()) running_.wait(true);
}

void C4DThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

Bool C4DThread::TestBreak() {
  if (break_.load()) return true;
  if (parent_ && parent_->TestBreak()) return true;
  return TestDBreak();
}

// --- MPThreadPool ---

MPThreadPool* MPThreadPool::Alloc() {
  return new (std::nothrow) MPThreadPool();
}

void MPThreadPool::Free(MPThreadPool*& pool) {
  delete pool;
  pool = nullptr;
}

MPThreadPool::MPThreadPool() = default;

MPThreadPool::~MPThreadPool() {
  Wait();
}

Bool MPThreadPool::Init(C4DThread* parent, Int32 count, C4DThread** threads) {
  if (!os_.empty() || count < 0 || (count > 0 && !threads)) return false;
  for (Int32 i = 0; i < count; ++i)
    if (!threads[i]) return false;
  parent_ = parent;
  threads_.assign(threads, threads + count);
  return true;
}

Bool MPThreadPool::Start(THREADPRIORITY priority) {
  if (!os_.empty()) return false;
  for (C4DThread* t : threads_)
    if (t->IsRunning()) return false;
  for (C4DThread* t : threads_) {
    t->Join();
    t->mode_ = THREADMODE_ASYNC;
    t->priority_ = priority;
    t->parent_ = parent_;
    t->break_.store(false);
    t->running_.store(true);
  }
  next_.store(0);
  // The OS threads wait at a gate until all of them exist, so that a failed start runs nothing.
  struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false, go = false;
  };
  auto gate = std::make_shared<Gate>();
  const size_t want =
      std::min<size_t>(threads_.size(), static_cast<size_t>(GeGetCurrentThreadCount()));
  bool failed = false;
  for (size_t k = 0; k < want && !failed; ++k) {
    try {
      os_.emplace_back([this, gate] {
        {
          std::unique_lock lock(gate->m);
          gate->cv.wait(lock, [&] { return gate->open; });
          if (!gate->go) return;
        }
        for (size_t i = next_.fetch_add(1); i < threads_.size(); i = next_.fetch_add(1)) {
          threads_[i]->Main();
          threads_[i]->Finish();
        }
      });
    } catch (const std::system_error&) {
      failed = true;
    }
  }
  {
    std::lock_guard lock(gate->m);
    gate->open = true;
    gate->go = !failed;
  }
  gate->cv.notify_all();
  if (failed) {
    for (std::thread& t : os_) t.join();
    os_.clear();
    for (C4DThread* t : threads_) {
      t->parent_ = nullptr;
      t->Finish();
    }
    return false;
  }
  pooled_ = static_cast<Int32>(os_.size());
  return true;
}

void MPThreadPool::Wait() {
  for (std::thread& t : os_)
    if (t.joinable()) t.join();
  os_.clear();
  for (C4DThread* t : threads_) t->parent_ = nullptr;
}
