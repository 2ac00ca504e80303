// The host's table of registered plug-ins and descriptions, in registration order.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "c4d_basebitmap.h"
#include "c4d_commanddata.h"
#include "c4d_description.h"
#include "c4d_nodedata.h"
#include "c4d_string.h"
#include "runtime/resource_file.h"

namespace hostrt {

enum class PluginKind { Command, Tag, Track };
const char* PluginKindName(PluginKind k);

struct PluginEntry {
  Int32 id = 0;
  PluginKind kind = PluginKind::Command;
  String name;
  String help;
  Int32 info = 0;
  std::unique_ptr<BaseBitmap> icon;      // nullptr when the plug-in has none or it did not load
  std::unique_ptr<CommandData> command;  // commands: the object the host now owns
  DataAllocator allocator = nullptr;     // tags and tracks: makes the node's plug-in data
  String description;                    // tags and tracks: description resource name
  Int32 diskLevel = 0;
};

// A parsed description resource (res/description/NAME.res with NAME.h and its strings).
bool LoadDescriptionResource(const String& resFolder, const String& name,
                             std::vector<DescEntry>& out, String& error);

class Registry {
 public:
  static Registry& Get();

  // Appends; false when the identifier is taken.
  bool Add(PluginEntry entry);
  const PluginEntry* Find(Int32 id) const;
  const std::vector<std::unique_ptr<PluginEntry>>& Entries() const { return entries_; }

  // Description resources, by name and by identifier.
  bool AddDescription(const String& name, Int32 id, std::vector<DescEntry> entries);
  const std::vector<DescEntry>* FindDescription(const String& name) const;
  const std::vector<DescEntry>* FindDescription(Int32 id, String* name = nullptr) const;
  Int32 NewDescriptionId() { return nextDescriptionId_++; }

  // Destroys every registered plug-in object (commands with their dialogs) and description.
  void Clear();

 private:
  std::vector<std::unique_ptr<PluginEntry>> entries_;
  std::map<String, std::vector<DescEntry>> descriptions_;
  std::map<Int32, String> descriptionIds_;
  Int32 nextDescriptionId_ = 200000000;  // host-issued description identifiers start here
};

}  // namespace hostrt
