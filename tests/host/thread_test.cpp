// The host's threads: a thread started synchronously or asynchronously, its end and its break,
// and the pool that runs a list of threads on a capped number of OS threads.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "c4d_gui.h"
#include "c4d_thread.h"
#include "runtime/host.h"
#include "runtime/threads.h"

namespace {

// Records where and how often its Main ran.
class Probe : public C4DThread {
 public:
  std::atomic<int> runs{0};
  std::thread::id ranOn;
  std::function<void(Probe&)> body;
  ~Probe() override { End(true); }
  void Main() override {
    ranOn = std::this_thread::get_id();
    if (body) body(*this);
    ++runs;
  }
  const Char* GetThreadName() override { return "probe"; }
};

// The host's thread count for one test.
struct ThreadCount {
  explicit ThreadCount(Int32 n) { hostrt::SetThreadCount(n); }
  ~ThreadCount() { hostrt::SetThreadCount(0); }
};

}  // namespace

TEST(C4DThread, SynchronousStartRunsMainOnTheCallerBeforeReturning) {
  Probe t;
  ASSERT_TRUE(t.Start(THREADMODE_SYNCHRONOUS, THREADPRIORITY_NORMAL));
  EXPECT_EQ(t.runs.load(), 1);
  EXPECT_EQ(t.ranOn, std::this_thread::get_id());
  EXPECT_FALSE(t.IsRunning());
  EXPECT_EQ(t.GetStartMode(), THREADMODE_SYNCHRONOUS);
  // Waiting and ending a finished thread return at once.
  t.Wait(true);
  t.End(true);
  EXPECT_EQ(t.runs.load(), 1);
}

TEST(C4DThread, AsynchronousStartRunsElsewhereAndEndBreaksIt) {
  Probe t;
  std::atomic<bool> started{false};
  t.body = [&](Probe& self) {
    started = true;
    while (!self.TestBreak()) std::this_thread::yield();
  };
  ASSERT_TRUE(t.Start(THREADMODE_ASYNC, THREADPRIORITY_BELOW));
  while (!started) std::this_thread::yield();
  EXPECT_TRUE(t.IsRunning());
  EXPECT_FALSE(t.Start()) << "a running thread cannot be started again";
  t.End(true);
  EXPECT_FALSE(t.IsRunning());
  EXPECT_NE(t.ranOn, std::this_thread::get_id());
  EXPECT_EQ(t.GetPriority(), THREADPRIORITY_BELOW);
  // It can run again once it has returned; the break is cleared by the new start.
  t.body = nullptr;
  ASSERT_TRUE(t.Start(THREADMODE_ASYNC));
  t.Wait(true);
  EXPECT_EQ(t.runs.load(), 2);
  EXPECT_FALSE(t.TestBreak());
}

TEST(MPThreadPool, RunsEveryThreadOnceOnAtMostTheHostsThreadCount) {
  for (Int32 count : {1, 2, 16}) {
    SCOPED_TRACE(count);
    ThreadCount threads(count);
    EXPECT_EQ(GeGetCurrentThreadCount(), count);
    std::vector<std::unique_ptr<Probe>> probes;
    std::vector<C4DThread*> list;
    std::mutex m;
    std::set<std::thread::id> used;
    std::atomic<int> running{0}, most{0};
    for (int k = 0; k < 40; ++k) {
      probes.push_back(std::make_unique<Probe>());
      probes.back()->body = [&](Probe& self) {
        const int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        EXPECT_EQ(self.GetStartMode(), THREADMODE_ASYNC);
        std::lock_guard lock(m);
        used.insert(std::this_thread::get_id());
        --running;
      };
      list.push_back(probes.back().get());
    }
    Probe parent;
    MPThreadPool* pool = MPThreadPool::Alloc();
    ASSERT_NE(pool, nullptr);
    ASSERT_TRUE(pool->Init(&parent, 40, list.data()));
    ASSERT_TRUE(pool->Start(THREADPRIORITY_BELOW));
    pool->Wait();
    EXPECT_EQ(pool->PooledThreads(), count);
    MPThreadPool::Free(pool);
    EXPECT_EQ(pool, nullptr);
    for (auto& p : probes) {
      EXPECT_EQ(p->runs.load(), 1);
      EXPECT_FALSE(p->IsRunning());
      EXPECT_EQ(p->GetPriority(), THREADPRIORITY_BELOW);
    }
    EXPECT_LE(static_cast<Int32>(used.size()), count);
    EXPECT_LE(most.load(), count);
    EXPECT_EQ(used.count(std::this_thread::get_id()), 0u);
  }
}

TEST(MPThreadPool, FewerThreadsThanTheCountUseOneOSThreadEach) {
  ThreadCount threads(16);
  Probe a, b, c;
  C4DThread* list[] = {&a, &b, &c};
  MPThreadPool pool;
  ASSERT_TRUE(pool.Init(nullptr, 3, list));
  ASSERT_TRUE(pool.Start());
  pool.Wait();
  EXPECT_EQ(pool.PooledThreads(), 3);
  EXPECT_EQ(a.runs + b.runs + c.runs, 3);
}

TEST(MPThreadPool, EndingTheParentBreaksTheWorkers) {
  ThreadCount threads(2);
  Probe parent, a, b;
  std::atomic<int> waiting{0};
  for (Probe* p : {&a, &b})
    p->body = [&](Probe& self) {
      ++waiting;
      while (!self.TestBreak()) std::this_thread::yield();
    };
  C4DThread* list[] = {&a, &b};
  MPThreadPool pool;
  ASSERT_TRUE(pool.Init(&parent, 2, list));
  ASSERT_TRUE(pool.Start());
  while (waiting < 2) std::this_thread::yield();
  parent.End(false);
  pool.Wait();
  EXPECT_EQ(a.runs + b.runs, 2);
  EXPECT_FALSE(a.TestBreak()) << "without the pool the parent no longer breaks the worker";
}

TEST(MPThreadPool, RefusesAMissingOrRunningThreadAndThenRunsNone) {
  Probe a, busy;
  C4DThread* missing[] = {&a, nullptr};
  MPThreadPool pool;
  EXPECT_FALSE(pool.Init(nullptr, 2, missing));

  std::atomic<bool> hold{true}, started{false};
  busy.body = [&](Probe&) {
    started = true;
    while (hold) std::this_thread::yield();
  };
  ASSERT_TRUE(busy.Start(THREADMODE_ASYNC));
  while (!started) std::this_thread::yield();
  C4DThread* list[] = {&a, &busy};
  ASSERT_TRUE(pool.Init(nullptr, 2, list));
  EXPECT_FALSE(pool.Start());
  hold = false;
  busy.Wait();
  pool.Wait();
  EXPECT_EQ(a.runs.load(), 0) << "a refused start runs no thread of the list";
  EXPECT_EQ(busy.runs.load(), 1);
}

TEST(Cursor, TheHostRecordsEveryChange) {
  hostrt::Host host;
  EXPECT_EQ(host.Cursor(), MOUSE_NORMAL);
  host.ShowMouse(MOUSE_BUSY);
  EXPECT_EQ(host.Cursor(), MOUSE_BUSY);
  host.ShowMouse(MOUSE_NORMAL);
  EXPECT_EQ(host.Cursors(), (std::vector<Int32>{MOUSE_BUSY, MOUSE_NORMAL}));
}
