// Threads of the host: C4DThread (a thread that a plug-in defines by its Main), MPThreadPool
// (runs a list of such threads on the host's pooled OS threads) and the host's thread count.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ge_math.h"

// How Start runs a thread's Main.
enum THREADMODE : Int32 {
  THREADMODE_SYNCHRONOUS = 0,  // on the calling thread, to its end, before Start returns
  THREADMODE_ASYNC = 1,        // on a thread of its own
};

enum THREADPRIORITY : Int32 {
  THREADPRIORITY_NORMAL = 0,
  THREADPRIORITY_ABOVE = 1000,
  THREADPRIORITY_BELOW = 1001,
  THREADPRIORITY_LOWEST = 1002,
};

// Threads the host runs at once: the machine's hardware threads (at least 1).
Int32 GeGetCurrentThreadCount();
// Lets the calling thread sleep for milliseconds (nothing for 0 or less).
void GeSleep(Int32 milliseconds);

class C4DThread {
 public:
  C4DThread();
  // Ends the thread and waits for it. A derived thread whose Main may still run ends itself in
  // its own destructor, while its members are still there.
  virtual ~C4DThread();
  C4DThread(const C4DThread&) = delete;
  C4DThread& operator=(const C4DThread&) = delete;

  // Runs Main: synchronously on the caller, or asynchronously on a new OS thread. False, running
  // nothing, when the thread is running already or no OS thread could be had.
  Bool Start(THREADMODE mode = THREADMODE_ASYNC, THREADPRIORITY priority = THREADPRIORITY_NORMAL);
  // Asks Main to stop (TestBreak turns true); with wait, waits for it to return.
  void End(Bool wait = true);
  // Waits until Main has returned (not to be called from the thread's own Main). checkevents lets
  // the host handle its events meanwhile (this host has no event loop to serve).
  void Wait(Bool checkevents = true);
  Bool IsRunning() const { return running_.load(); }
  // True once End was asked of this thread or of its parent (a pool's parent), or TestDBreak.
  Bool TestBreak();

  // The mode and priority of the last start.
  THREADMODE GetStartMode() const { return mode_; }
  THREADPRIORITY GetPriority() const { return priority_; }

  virtual void Main() = 0;
  virtual const Char* GetThreadName() = 0;
  // A derived thread's own stop condition.
  virtual Bool TestDBreak() { return false; }

 private:
  friend class MPThreadPool;
  void Join();
  void Finish();  // Main returned

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> break_{false};
  C4DThread* parent_ = nullptr;  // set while a pool runs the thread
  THREADMODE mode_ = THREADMODE_SYNCHRONOUS;
  THREADPRIORITY priority_ = THREADPRIORITY_NORMAL;
};

// Runs a list of threads on at most GeGetCurrentThreadCount() OS threads of the host: each OS
// thread takes the next thread of the list that has not run yet, so threads beyond that number
// run in turn.
class MPThreadPool {
 public:
  static MPThreadPool* Alloc();
  static void Free(MPThreadPool*& pool);

  MPThreadPool();
  ~MPThreadPool();  // waits for a started pool
  MPThreadPool(const MPThreadPool&) = delete;
  MPThreadPool& operator=(const MPThreadPool&) = delete;

  // parent: the thread that runs the pool (its End breaks every thread of the list); threads:
  // count threads, all given. False for a missing thread or a pool that runs.
  Bool Init(C4DThread* parent, Int32 count, C4DThread** threads);
  // Starts every thread of the list asynchronously at priority. Either all of them run or,
  // when a thread of the list runs already or the OS threads cannot all be had, none does and
  // the answer is false.
  Bool Start(THREADPRIORITY priority = THREADPRIORITY_NORMAL);
  // Waits until every thread of the list has run.
  void Wait();
  // OS threads the last successful Start used.
  Int32 PooledThreads() const { return pooled_; }

 private:
  C4DThread* parent_ = nullptr;
  std::vector<C4DThread*> threads_;
  std::vector<std::thread> os_;
  std::atomic<size_t> next_{0};
  Int32 pooled_ = 0;
};
