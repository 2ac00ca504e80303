// Runs a shell command line for the tests: its exit code (-1 when it did not exit) and what it
// printed on stdout. On Windows the shell is cmd.exe.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <string>

struct ShellResult {
  int code;
  std::string out;
};

inline ShellResult Shell(const std::string& cmd) {
#ifdef _WIN32
  // cmd.exe takes the line after /c with its outer quotes removed; text mode reads CR LF as LF.
  FILE* p = _popen(("\"" + cmd + "\"").c_str(), "r");
#else
  FILE* p = popen(cmd.c_str(), "r");
#endif
  ShellResult r{-1, ""};
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
#ifdef _WIN32
  r.code = _pclose(p);
#else
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return r;
}
