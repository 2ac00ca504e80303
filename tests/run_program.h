// Runs a command line as a user's shell would and collects its output and exit code.
#pragma once

#include <filesystem>
#include <string>

#include "shell.h"

using ProgramResult = ShellResult;  // stdout and stderr together

// A program's file as the shell takes it: on Windows with the drive and backslashes.
inline std::string ProgramPath(const std::string& file) {
#ifdef _WIN32
  return "\"" + std::filesystem::absolute(file).make_preferred().string() + "\"";
#else
  return file;
#endif
}

// The command's stdin reads nothing; its errors come with its output.
inline ProgramResult RunProgram(const std::string& commandLine) {
#ifdef _WIN32
  return Shell(commandLine + " 2>&1 <NUL");
#else
  return Shell(commandLine + " 2>&1 </dev/null");
#endif
}
