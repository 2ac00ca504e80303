#include "c4d_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

Filename Filename::GetFile() const {
  auto p = path_.find_last_of('/');
  return p == String::npos ? *this : Filename(path_.substr(p + 1));
}

Filename Filename::GetDirectory() const {
  auto p = path_.find_last_of('/');
  if (p == String::npos) return Filename();
  return Filename(p == 0 ? String("/") : path_.substr(0, p));
}

String Filename::GetSuffix() const {
  String file = GetFile().GetString();
  auto p = file.find_last_of('.');
  return p == String::npos || p == 0 ? String() : file.substr(p + 1);
}

void Filename::SetSuffix(const String& suffix) {
  String file = GetFile().GetString();
  auto p = file.find_last_of('.');
  if (p != String::npos && p != 0) path_.resize(path_.size() - (file.size() - p));
  if (!suffix.empty()) path_ += "." + suffix;
}

Bool Filename::CheckSuffix(const String& suffix) const {
  String a = GetSuffix(), b = suffix;
  if (a.size() != b.size()) return false;
  return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

Filename Filename::operator+(const Filename& component) const {
  if (path_.empty()) return component;
  if (component.path_.empty()) return *this;
  if (path_.back() == '/') return Filename(path_ + component.path_);
  return Filename(path_ + "/" + component.path_);
}

Bool GeFExist(const Filename& path, Bool isdir) {
  std::error_code ec;
  auto st = std::filesystem::status(path.GetString(), ec);
  if (ec) return false;
  return isdir ? std::filesystem::is_directory(st) : std::filesystem::is_regular_file(st);
}
