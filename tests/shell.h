// Runs a shell command line for the tests: its exit code (-1 when it did not exit) and what it
// printed on stdout.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

struct ShellResult {
  int code;
  std::string out;
};

inline ShellResult Shell(const std::string& cmd) {
  FILE* p = popen(cmd.c_str(), "r");
  ShellResult r{-1, ""};
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}
