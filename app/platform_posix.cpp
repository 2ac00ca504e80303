#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <glob.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform.h"

extern char** environ;

namespace pelterra::platform {

bool StartProcess(const std::vector<std::string>& argv, const std::string& logPath,
                  Process& process, std::string& why) {
  if (argv.empty()) {
    why = "nothing to run";
    return false;
  }
  std::vector<std::string> copy = argv;
  std::vector<char*> args;
  for (std::string& a : copy) args.push_back(a.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0666);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // A group of its own, so that a timeout ends whatever the run started; signals as new.
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                      POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    why = "cannot start " + argv[0] + ": " + std::strerror(rc);
    return false;
  }
  process.id = pid;
  return true;
}

Exit PollProcess(Process& process) {
  Exit e;
  if (process.id <= 0) {
    e.ended = true;
    return e;
  }
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(static_cast<pid_t>(process.id), &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return e;
  e.ended = true;
  process.id = 0;
  if (got < 0) {  // not ours any more; nothing to tell
    e.code = -1;
  } else if (WIFSIGNALED(status)) {
    e.signaled = true;
    e.signal = WTERMSIG(status);
  } else if (WIFEXITED(status)) {
    e.code = WEXITSTATUS(status);
  }
  return e;
}

void KillProcessGroup(Process& process) {
  if (process.id <= 0) return;
  const pid_t pid = static_cast<pid_t>(process.id);
  // The group first, then the leader in case it left the group.
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  process.id = 0;
}

std::string SignalName(int signal) {
  const char* abbrev = sigabbrev_np(signal);
  const char* text = sigdescr_np(signal);
  std::string name = abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(signal);
  if (text) name += std::string(" (") + text + ")";
  return name;
}

bool ExpandPattern(const std::string& pattern, std::vector<std::string>& matches, std::string& why) {
  glob_t g{};
  const int rc = ::glob(pattern.c_str(), GLOB_ERR, nullptr, &g);
  if (rc == 0)
    for (size_t i = 0; i < g.gl_pathc; ++i) matches.push_back(g.gl_pathv[i]);
  ::globfree(&g);
  if (rc == 0 || rc == GLOB_NOMATCH) return true;
  why = rc == GLOB_NOSPACE ? "out of memory" : "cannot read a folder of it";
  return false;
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::string SelfPath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_old[3];
const int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
bool g_caught = false;

void OnInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

void CatchInterrupts() {
  if (g_caught) return;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &sa, &g_old[i]);
  g_interrupted = 0;
  g_caught = true;
}

bool Interrupted() {
  return g_interrupted != 0;
}

void ReleaseInterrupts() {
  if (!g_caught) return;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &g_old[i], nullptr);
  g_caught = false;
}

void ReleaseFreedMemory() {
#if defined(__GLIBC__)
  // glibc keeps freed memory in its arenas, one per thread that allocated; trimming gives the
  // free pages of all of them back.
  malloc_trim(0);
#endif
}

}  // namespace pelterra::platform
