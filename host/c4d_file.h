// File names, file system queries and plain files.
#pragma once

#include <cstdio>

#include "c4d_string.h"

enum : Int32 {
  FILESELECTTYPE_ANYTHING = 0,
  FILESELECTTYPE_IMAGES = 1,
  FILESELECTTYPE_SCENES = 2,
};
enum : Int32 {
  FILESELECT_LOAD = 0,
  FILESELECT_SAVE = 1,
  FILESELECT_DIRECTORY = 2,
};

class Filename {
 public:
  Filename() = default;
  Filename(const String& path) : path_(path) {}
  Filename(const std::string& path) : path_(path) {}
  Filename(const char* path) : path_(path) {}

  const String& GetString() const { return path_; }
  void SetString(const String& path) { path_ = path; }
  Bool Content() const { return !path_.empty(); }
  // Last path component, and everything before it.
  Filename GetFile() const;
  Filename GetDirectory() const;
  // Replaces everything before the last component, keeping the file.
  void SetDirectory(const Filename& folder);
  // Replaces the last component. The file system allows no '/' and no zero byte in a file name;
  // each becomes '_'.
  void SetFile(const Filename& file);
  // Suffix without the dot; empty when there is none.
  String GetSuffix() const;
  void SetSuffix(const String& suffix);
  Bool CheckSuffix(const String& suffix) const;

  // Asks the user for a file (type: FILESELECTTYPE_..., flags: FILESELECT_LOAD, _SAVE or
  // _DIRECTORY); this name is the one the selector offers first. False when the user cancels;
  // otherwise the chosen name replaces this one.
  Bool FileSelect(Int32 type, Int32 flags, const String& title,
                  const String& forceSuffix = String());

  // Appends a path component.
  Filename operator+(const Filename& component) const;
  Filename& operator+=(const Filename& component) { return *this = *this + component; }
  bool operator==(const Filename& o) const { return path_ == o.path_; }

 private:
  String path_;
};

// Whether path exists, as a folder when isdir is set, else as a file.
Bool GeFExist(const Filename& path, Bool isdir = false);

enum FILEOPEN : Int32 {
  FILEOPEN_READ = 1,
  FILEOPEN_WRITE = 2,
};
// Whether the host tells the user about file errors. This host never shows a box for them: every
// mode reports errors through the results and GetError.
enum FILEDIALOG : Int32 {
  FILEDIALOG_NONE = 0,
  FILEDIALOG_ANY = 1,
  FILEDIALOG_IGNOREOPEN = 2,
};
// Byte order of the multi-byte values a file reads and writes.
enum BYTEORDER : Int32 {
  BYTEORDER_MOTOROLA = 1,  // big-endian
  BYTEORDER_INTEL = 2,     // little-endian
};
enum FILEERROR : Int32 {
  FILEERROR_NONE = 0,
  FILEERROR_OPEN = -1,
  FILEERROR_CLOSE = -2,
  FILEERROR_READ = -3,
  FILEERROR_WRITE = -4,
  FILEERROR_OUTOFMEMORY = -7,
  FILEERROR_WRONG_VALUE = -100,  // the data is not what the reader expects (damaged, foreign)
  FILEERROR_FILE_END = -104,     // read past the end
};

// A plain file, read or written byte by byte.
//
// Writing never touches the named file before Close: the bytes go to a temporary file beside it,
// which Close renames into place once everything was written. After a failed write, or when
// Close fails, the named file is as it was before and the temporary file is gone.
class BaseFile {
 public:
  static BaseFile* Alloc();
  // Closes the file (as Close) and frees it.
  static void Free(BaseFile*& file);
  ~BaseFile();
  BaseFile(const BaseFile&) = delete;
  BaseFile& operator=(const BaseFile&) = delete;

  // Opens name for reading or writing; false when it cannot (the error says why). Writing needs
  // the folder to exist and refuses a name that is a folder or another non-regular file.
  Bool Open(const Filename& name, FILEOPEN mode = FILEOPEN_READ,
            FILEDIALOG errorDialog = FILEDIALOG_IGNOREOPEN, BYTEORDER order = BYTEORDER_MOTOROLA);
  // Reading: closes the file. Writing: puts the written file in place of the named one. False
  // when something went wrong since Open; a written file then is not put in place.
  Bool Close();

  Bool WriteBytes(const void* data, Int64 len);
  Bool WriteChar(Char v);
  // In the byte order given to Open.
  Bool WriteInt32(Int32 v);
  // Reads up to len bytes and answers how many it read; fewer than len is an error
  // (FILEERROR_FILE_END) unless justTry is set.
  Int64 ReadBytes(void* data, Int64 len, Bool justTry = false);
  // False at the end of the file.
  Bool ReadChar(Char* v);
  Bool ReadInt32(Int32* v);

  // Reading: the file's size in bytes. Writing: the bytes written so far.
  Int64 GetLength() const;
  Int64 GetPosition() const { return position_; }
  // The first error since Open.
  FILEERROR GetError() const { return error_; }
  void SetError(FILEERROR error);

 private:
  BaseFile() = default;
  void Discard();

  std::FILE* file_ = nullptr;
  FILEOPEN mode_ = FILEOPEN_READ;
  BYTEORDER order_ = BYTEORDER_MOTOROLA;
  FILEERROR error_ = FILEERROR_NONE;
  Int64 length_ = 0, position_ = 0;
  String target_, temp_;  // writing: the named file and the one written until Close
};
