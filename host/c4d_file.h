// File names and file system queries.
#pragma once

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
  Filename(const char* path) : path_(path) {}

  const String& GetString() const { return path_; }
  void SetString(const String& path) { path_ = path; }
  Bool Content() const { return !path_.empty(); }
  // Last path component, and everything before it.
  Filename GetFile() const;
  Filename GetDirectory() const;
  // Suffix without the dot; empty when there is none.
  String GetSuffix() const;
  void SetSuffix(const String& suffix);
  Bool CheckSuffix(const String& suffix) const;

  // Asks the user for a file (type: FILESELECTTYPE_..., flags: FILESELECT_LOAD, _SAVE or
  // _DIRECTORY); false when the user cancels. The chosen name replaces this one.
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
