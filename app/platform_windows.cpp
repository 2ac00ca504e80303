#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform.h"
#include "runtime/file_system.h"

namespace pelterra::platform {

namespace fs = std::filesystem;

namespace {

// A started process and the job object that holds it and everything it starts.
struct Handles {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
};

std::mutex g_mutex;
std::map<long, Handles> g_running;

// One argument quoted as CommandLineToArgvW and the C runtime split it again.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!line.empty()) line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');  // before the closing quote
  line += L'"';
}

// argv[0] as a file to start: a name without a folder is searched in PATH, with ".exe" added
// when it has no extension, as a command line would find it.
std::wstring ProgramFile(const std::string& program) {
  const std::wstring wide = hostrt::WidePath(program);
  if (wide.find_first_of(L"\\/:") != std::wstring::npos) return wide;
  wchar_t found[MAX_PATH];
  const DWORD n = SearchPathW(nullptr, wide.c_str(), L".exe", MAX_PATH, found, nullptr);
  return n > 0 && n < MAX_PATH ? std::wstring(found, n) : wide;
}

void Close(Handles& h) {
  if (h.process) CloseHandle(h.process);
  if (h.job) CloseHandle(h.job);  // kills whatever is left in it
  h = Handles{};
}

}  // namespace

bool StartProcess(const std::vector<std::string>& argv, const std::string& logPath,
                  Process& process, std::string& why) {
  if (argv.empty()) {
    why = "nothing to run";
    return false;
  }
  std::wstring line;
  for (const std::string& a : argv) AppendQuoted(line, hostrt::WidePath(a));
  const std::wstring program = ProgramFile(argv[0]);

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE log = CreateFileW(hostrt::WidePath(logPath).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) {
    why = "cannot create " + logPath + ": " + hostrt::SystemMessage(GetLastError());
    return false;
  }
  HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
  // A job of its own, so that a timeout ends whatever the run started; closing the job's last
  // handle ends them too.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = null != INVALID_HANDLE_VALUE ? null : nullptr;
  si.hStdOutput = log;
  si.hStdError = log;
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> mutableLine(line.begin(), line.end());
  mutableLine.push_back(L'\0');
  // Suspended until it is in its job, so that nothing it starts escapes the job. A new process
  // group, so that a Ctrl-C meant for the batch reaches the batch, which then ends the runs.
  const BOOL started = CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP |
                                          CREATE_UNICODE_ENVIRONMENT,
                                      nullptr, nullptr, &si, &pi);
  const DWORD error = started ? 0 : GetLastError();
  CloseHandle(log);
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  if (!started) {
    if (job) CloseHandle(job);
    why = "cannot start " + argv[0] + ": " + hostrt::SystemMessage(error);
    return false;
  }
  if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
    CloseHandle(job);
    job = nullptr;  // still run it; a timeout then ends the process alone
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  process.id = static_cast<long>(pi.dwProcessId);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_running[process.id] = Handles{pi.hProcess, job};
  return true;
}

Exit PollProcess(Process& process) {
  Exit e;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_running.find(process.id);
  if (process.id <= 0 || it == g_running.end()) {
    e.ended = true;
    e.code = process.id > 0 ? -1 : 0;
    process.id = 0;
    return e;
  }
  if (WaitForSingleObject(it->second.process, 0) != WAIT_OBJECT_0) return e;
  DWORD code = 0;
  GetExitCodeProcess(it->second.process, &code);
  e.ended = true;
  // An unhandled exception ends a process with its exception code (0xC0000005, ...): the
  // counterpart of a signal.
  if ((code & 0xF0000000u) == 0xC0000000u) {
    e.signaled = true;
    e.signal = static_cast<int>(code);
  } else {
    e.code = static_cast<int>(code);
  }
  Close(it->second);
  g_running.erase(it);
  process.id = 0;
  return e;
}

void KillProcessGroup(Process& process) {
  if (process.id <= 0) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_running.find(process.id);
  if (it != g_running.end()) {
    Handles& h = it->second;
    if (h.job) TerminateJobObject(h.job, 1);
    TerminateProcess(h.process, 1);  // in case it is not in the job
    WaitForSingleObject(h.process, INFINITE);
    Close(h);
    g_running.erase(it);
  }
  process.id = 0;
}

std::string SignalName(int signal) {
  const DWORD code = static_cast<DWORD>(signal);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  const char* text = nullptr;
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: text = "access violation"; break;
    case EXCEPTION_STACK_OVERFLOW: text = "stack overflow"; break;
    case EXCEPTION_ILLEGAL_INSTRUCTION: text = "illegal instruction"; break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO: text = "integer division by zero"; break;
    case EXCEPTION_IN_PAGE_ERROR: text = "in-page error"; break;
    case STATUS_CONTROL_C_EXIT: text = "ended by Ctrl-C"; break;
    case 0xC0000409: text = "stack buffer overrun or fast fail"; break;
    default: break;
  }
  return std::string("exception ") + hex + (text ? std::string(" (") + text + ")" : std::string());
}

namespace {

// Whether name matches a file name pattern of *, ? and [set] (with ! or ^ to negate and a-z
// ranges), ignoring the case of ASCII letters as Windows file names do.
bool Match(const char* p, const char* s) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*s) {
    if (*p == '*') {
      star = p++;
      resume = s;
      continue;
    }
    bool ok = false;
    const char* after = p + 1;
    if (*p == '?') {
      ok = true;
    } else if (*p == '[' && std::strchr(p + 1, ']')) {
      const char* q = p + 1;
      const bool negate = *q == '!' || *q == '^';
      if (negate) ++q;
      bool in = false;
      bool first = true;
      for (; *q && (*q != ']' || first); ++q, first = false) {
        if (q[1] == '-' && q[2] && q[2] != ']') {
          in = in || (lower(*s) >= lower(q[0]) && lower(*s) <= lower(q[2]));
          q += 2;
        } else {
          in = in || lower(*s) == lower(*q);
        }
      }
      ok = in != negate;
      after = *q ? q + 1 : q;
    } else if (*p) {
      ok = lower(*p) == lower(*s);
    }
    if (ok) {
      p = after;
      ++s;
    } else if (star) {
      p = star + 1;
      s = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

bool HasWildcard(const std::string& s) {
  return s.find_first_of("*?[") != std::string::npos;
}

// A component of a pattern and the separator that followed it as written.
struct Part {
  std::string name;
  char separator;
};

// Adds what parts[at...] match inside the folder prefix (as the user wrote it, ending with a
// separator, or empty for the current folder) to out.
bool Expand(const std::string& prefix, const std::vector<Part>& parts, size_t at,
            std::vector<std::string>& out, std::string& why) {
  const std::string& part = parts[at].name;
  const bool last = at + 1 == parts.size();
  auto found = [&](const std::string& name) {
    if (last) {
      out.push_back(prefix + name);
      return true;
    }
    return Expand(prefix + name + parts[at].separator, parts, at + 1, out, why);
  };
  std::error_code ec;
  if (!HasWildcard(part)) {
    const fs::path p = hostrt::WidePath(prefix + part);
    if (!fs::exists(p, ec) || (!last && !fs::is_directory(p, ec))) return true;
    return found(part);
  }
  const fs::path folder = prefix.empty() ? fs::path(L".") : fs::path(hostrt::WidePath(prefix));
  if (!fs::is_directory(folder, ec)) return true;
  fs::directory_iterator it(folder, ec);
  std::vector<std::string> names;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::u8string u8 = it->path().filename().u8string();
    const std::string name(u8.begin(), u8.end());
    // Hidden names (a leading dot) match only a pattern that starts with a dot.
    if (name.empty() || (name[0] == '.' && part[0] != '.')) continue;
    if (!Match(part.c_str(), name.c_str())) continue;
    std::error_code dirError;
    if (!last && !it->is_directory(dirError)) continue;
    names.push_back(name);
  }
  if (ec) {
    why = "cannot read a folder of it";
    return false;
  }
  for (const std::string& name : names)
    if (!found(name)) return false;
  return true;
}

}  // namespace

bool ExpandPattern(const std::string& pattern, std::vector<std::string>& matches, std::string& why) {
  // The root (C:\, \\server\share\, \) is taken as written; the rest split at either separator.
  std::string root;
  std::string rest = pattern;
  const fs::path p(hostrt::WidePath(pattern));
  if (p.has_root_path()) {
    const std::u8string r = p.root_path().u8string();
    root.assign(r.begin(), r.end());
    rest = pattern.substr(std::min(root.size(), pattern.size()));
  }
  std::vector<Part> parts;
  size_t start = 0;
  for (size_t i = 0; i <= rest.size(); ++i)
    if (i == rest.size() || rest[i] == '/' || rest[i] == '\\') {
      if (i > start) parts.push_back({rest.substr(start, i - start), i < rest.size() ? rest[i] : '\\'});
      start = i + 1;
    }
  if (parts.empty()) return true;
  std::vector<std::string> found;
  if (!Expand(root, parts, 0, found, why)) return false;
  std::sort(found.begin(), found.end());
  matches.insert(matches.end(), found.begin(), found.end());
  return true;
}

bool StderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

std::string SelfPath() {
  return hostrt::ExecutablePath();
}

namespace {

volatile LONG g_interrupted = 0;
bool g_caught = false;

BOOL WINAPI OnInterrupt(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      InterlockedExchange(&g_interrupted, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void CatchInterrupts() {
  if (g_caught) return;
  InterlockedExchange(&g_interrupted, 0);
  SetConsoleCtrlHandler(OnInterrupt, TRUE);
  g_caught = true;
}

bool Interrupted() {
  return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0;
}

void ReleaseInterrupts() {
  if (!g_caught) return;
  SetConsoleCtrlHandler(OnInterrupt, FALSE);
  g_caught = false;
}

void ReleaseFreedMemory() {
  // The process heap gives large blocks back to the system when they are freed.
}

}  // namespace pelterra::platform
