// File operations whose system calls differ between Windows and POSIX systems: flushing a file
// to disk and moving a finished temporary file into place; on Windows also reading a regular
// file whole and creating a temporary file. Paths are UTF-8.
#pragma once

#include <cstdio>
#include <string>

namespace hostrt {

// Writes f's buffers and the system's caches of it to the disk.
bool FlushToDisk(std::FILE* f);

// Replaces target by temp in one step and writes the change through to the disk. On failure
// target is left as it was, temp is still there, and why holds the reason.
bool MoveIntoPlace(const std::string& temp, const std::string& target, std::string& why);

#ifdef _WIN32
// Reads the whole file at path into out. Anything but a regular file (a folder, a device, a
// pipe) is refused without being read, with why "not a regular file (KIND)"; other failures give
// "cannot open: REASON" or "cannot read: REASON". A read that fails part-way is a failure, never
// a short text.
bool ReadRegularFile(const std::string& path, std::string& out, std::string& why);

// Creates a new file for writing (binary) whose name is prefix followed by a unique suffix;
// path receives its name. nullptr with why on failure.
std::FILE* CreateUniqueFile(const std::string& prefix, std::string& path, std::string& why);

// The running program's file, empty when unknown.
std::string ExecutablePath();

// Deletes the file at path, quietly.
void RemoveFile(const std::string& path);

// UTF-8 to the UTF-16 that the wide Windows calls take.
std::wstring WidePath(const std::string& utf8);
// The text of a Windows error code.
std::string SystemMessage(unsigned long code);
#endif

}  // namespace hostrt
