// A stand-in for pelterra.exe in the batch tests on Windows, where the POSIX tests' shell script
// cannot run. Started as `PROGRAM run SESSION --scene FILE --out DIR`, it acts on the file's name:
// it crashes, hangs with a child process of its own, fails with a message, fails quietly, or
// passes and leaves DIR/done.txt. `PROGRAM sleep` only sleeps (the hanging run's child).
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "sleep") {
    Sleep(INFINITE);
    return 0;
  }
  if (argc < 7) return 2;
  const std::string file = argv[4];
  const std::string out = argv[6];
  if (file.find("crash") != std::string::npos) {
    std::printf("loading %s\n", file.c_str());
    std::fflush(stdout);
    // Ends as an unhandled access violation does, without waking Wine's debugger.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
  }
  if (file.find("hang") != std::string::npos) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" sleep";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return 4;
    if (FILE* f = std::fopen((out + "/child.pid").c_str(), "wb")) {
      std::fprintf(f, "%lu\n", static_cast<unsigned long>(pi.dwProcessId));
      std::fclose(f);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    return 0;
  }
  if (file.find("fail") != std::string::npos) {
    std::printf("pelterra: warning: a warning is no error\n");
    std::fflush(stdout);
    std::fprintf(stderr, "pelterra: s.session:3: expected uv 0.a = (1, 0), got (0, 0)\n");
    return 1;
  }
  if (file.find("quiet") != std::string::npos) return 3;
  std::printf("ran %s into %s\n", file.c_str(), out.c_str());
  if (FILE* f = std::fopen((out + "/done.txt").c_str(), "wb")) {
    std::fprintf(f, "%s\n", file.c_str());
    std::fclose(f);
  }
  return 0;
}
