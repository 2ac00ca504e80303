// What the batch runner needs of the operating system: processes in groups of their own, file
// name patterns, the terminal and interrupts. One file implements it (platform_posix.cpp); a
// port to another system replaces that file.
#pragma once

#include <string>
#include <vector>

namespace pelterra::platform {

// A started process; its id also names its process group.
struct Process {
  long id = 0;
};

// Starts argv[0] (searched in PATH when it has no slash) with argv, in a process group of its
// own, with standard input from the null device and standard output and error both to logPath,
// which is created or emptied. False with why when it cannot start.
bool StartProcess(const std::vector<std::string>& argv, const std::string& logPath,
                  Process& process, std::string& why);

// How a process ended.
struct Exit {
  bool ended = false;
  bool signaled = false;  // killed by signal, not exited
  int code = 0;           // exit code
  int signal = 0;         // the signal that killed it
};

// Whether the process has ended, without waiting. Once it answers ended, the process is gone.
Exit PollProcess(Process& process);

// Kills the process and everything else in its group, and waits for the process to be gone.
void KillProcessGroup(Process& process);

// "SIGSEGV (Segmentation fault)".
std::string SignalName(int signal);

// The files and folders that pattern matches, sorted; empty when none does. False with why for a
// pattern that cannot be read.
bool ExpandPattern(const std::string& pattern, std::vector<std::string>& matches, std::string& why);

// Whether stderr is a terminal.
bool StderrIsTerminal();

// This program's own file, for starting it again; empty when unknown.
std::string SelfPath();

// While caught, Ctrl-C, a hang-up and a termination request set a flag instead of ending the
// program, so that it can first end the processes it started; Release restores what was there.
void CatchInterrupts();
bool Interrupted();
void ReleaseInterrupts();

// Hands memory the allocator keeps after frees back to the system, where the allocator can.
void ReleaseFreedMemory();

}  // namespace pelterra::platform
