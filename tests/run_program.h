// Runs a command line as a user's shell would and collects its output and exit code.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

struct ProgramResult {
  int code;
  std::string out;  // stdout and stderr together
};

// A program's file as the shell takes it: on Windows with the drive and backslashes.
inline std::string ProgramPath(const std::string& file) {
#ifdef _WIN32
  return "\"" + std::filesystem::absolute(file).make_preferred().string() + "\"";
#else
  return file;
#endif
}

// The command's stdin reads nothing.
inline ProgramResult RunProgram(const std::string& commandLine) {
#ifdef _WIN32
  // cmd.exe takes the line after /c, with the outer quotes removed.
  const std::string cmd = "\"" + commandLine + " 2>&1 <NUL\"";
  FILE* p = _popen(cmd.c_str(), "r");  // text mode: CR LF reads as LF
#else
  const std::string cmd = commandLine + " 2>&1 </dev/null";
  FILE* p = popen(cmd.c_str(), "r");
#endif
  ProgramResult r{-1, ""};
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
