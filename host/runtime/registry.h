// The host's table of registered plug-ins and descriptions, in registration order.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "c4d_description.h"
#include "c4d_os.h"
#include "c4d_string.h"
#include "runtime/resource_file.h"

namespace hostrt {

using ::PluginEntry;
using ::PluginKind;
const char* PluginKindName(PluginKind k);

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
