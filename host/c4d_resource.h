// A plug-in's resources: symbols, strings and dialog layouts from its res folder.
#pragma once

#include <map>
#include <memory>

#include "c4d_file.h"
#include "c4d_string.h"

namespace hostrt {
struct ResNode;
}

class GeResource {
 public:
  GeResource();
  ~GeResource();
  GeResource(const GeResource&) = delete;
  GeResource& operator=(const GeResource&) = delete;

  // Reads folder/res: c4d_symbols.h, strings_us/ and dialogs/. False when any of it is
  // missing or malformed; GetLastError tells what.
  Bool Init(const Filename& pluginFolder);
  Bool IsLoaded() const { return loaded_; }
  const String& GetLastError() const { return error_; }
  // The res folder.
  const Filename& GetResourcePath() const { return path_; }

  // The string with that identifier; empty when there is none.
  String LoadString(Int32 id) const;
  Bool HasString(Int32 id) const { return strings_.count(id) != 0; }
  // A text keyed by a symbol name in a dialog's string table (strings_us/dialogs/NAME.str).
  String LoadDialogString(const String& dialog, const String& key) const;
  // The value of a symbol, or fallback.
  Int32 GetSymbol(const String& name, Int32 fallback = -1) const;
  // The dialog layout with that identifier, or nullptr; name receives its symbol. Read by the
  // host when it builds a dialog.
  const hostrt::ResNode* GetDialog(Int32 id, String* name = nullptr) const;

 private:
  Bool loaded_ = false;
  String error_;
  Filename path_;
  std::map<String, Int32> symbols_;
  std::map<Int32, String> strings_;
  std::map<String, std::map<String, String>> dialogStrings_;
  struct Dialogs;
  std::unique_ptr<Dialogs> dialogs_;
};

// The plug-in's own resource (one per module) and its strings.
extern GeResource g_resource;
String GeLoadString(Int32 id);
