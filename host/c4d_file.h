// File names and file system queries.
#pragma once

#include "c4d_string.h"

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

  // Appends a path component.
  Filename operator+(const Filename& component) const;
  Filename& operator+=(const Filename& component) { return *this = *this + component; }
  bool operator==(const Filename& o) const { return path_ == o.path_; }

 private:
  String path_;
};

// Whether path exists, as a folder when isdir is set, else as a file.
Bool GeFExist(const Filename& path, Bool isdir = false);
