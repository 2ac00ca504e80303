// Reading and replacing the user's files: only regular files are read, and a save goes to a
// temporary file in the target's folder that is renamed into place, so that a failed save
// leaves the old file as it was and no temporary file behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pelterra {

// Reads the whole regular file at path into text. Anything else (a folder, a device, a FIFO, a
// socket) is refused without being opened for long or read: "PATH: not a regular file (a
// FIFO)". A read that fails part-way is an error that names the file, never a short text.
bool ReadRegularFile(const std::string& path, std::string& text, std::string& error);

struct ReplaceOptions {
  // Replace a file whose mode does not let the user write it (the session said "overwrite").
  bool readOnly = false;
  // Told the bytes written so far and the total, as the writing goes on.
  std::function<void(std::uint64_t written, std::uint64_t total)> onProgress;
};

// Writes content to path atomically. A symbolic link is followed and its target replaced in the
// target's folder. A target that is not a regular file, a read-only file (unless options allow
// it) and a folder whose mode does not let the user write are refused before anything is
// written. The replacement keeps the old file's permissions (new files: 0666 less the umask).
// On failure why says what went wrong (without the path).
bool ReplaceFile(const std::string& path, std::string_view content, const ReplaceOptions& options,
                 std::string& why);

// Hands a piece of the new content on to the temporary file; false when it cannot be written.
using WritePiece = std::function<bool(std::string_view piece)>;
// ReplaceFile with the content made piece by piece while it is written, so that a large file is
// never held whole: produce calls write for each piece in order and returns false (why set) to
// give the save up, which then leaves the old file as a failed write does. options.onProgress
// gets the bytes written so far and 0 for the total.
bool ReplaceFileWith(const std::string& path,
                     const std::function<bool(const WritePiece& write, std::string& why)>& produce,
                     const ReplaceOptions& options, std::string& why);

// What a file's mode lets this process do, judged by its permission bits alone (root is held to
// them too, where the system would let it write anyway).
bool ModeLetsWrite(unsigned mode, unsigned owner, unsigned group);

}  // namespace pelterra
