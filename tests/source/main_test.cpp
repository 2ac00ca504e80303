// The module file, loaded as the host loads it and driven through c4d_main.
#ifndef _WIN32
#include <elf.h>
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "c4d_basetag.h"
#include "c4d_commanddata.h"
#include "c4d_description.h"
#include "runtime/dialog_model.h"
#include "runtime/host.h"
#include "runtime/module_loader.h"

namespace fs = std::filesystem;

namespace {

const String kModule = PELTERRA_MODULE;
const String kFolder = fs::path(kModule).parent_path().string();
const String kDashes(56, '-');

void* Msg(Int32 id) {
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(id));
}

std::vector<Int32> RegisteredIds() {
  std::vector<Int32> ids;
  for (const auto& e : hostrt::Registry::Get().Entries()) ids.push_back(e->id);
  return ids;
}

Int32 BannerLines(const hostrt::Host& host) {
  Int32 n = 0;
  for (const String& l : host.Console()) n += l == kDashes;
  return n;
}

// A host whose registrations fail on demand.
struct FaultyHost : hostrt::Host {
  Int32 failRegistrationAt = -1;   // the registration with this index (from 0) fails
  bool giveDescriptionIds = true;  // false: no description identifiers to give
  bool failDescriptions = false;   // every description registration fails
  Int32 asked = 0;

  Bool RegisterPlugin(PluginEntry entry, const Filename& resFolder) override {
    if (asked++ == failRegistrationAt) return false;
    return Host::RegisterPlugin(std::move(entry), resFolder);
  }
  Int32 NewDescriptionId() override { return giveDescriptionIds ? Host::NewDescriptionId() : 0; }
  Bool RegisterDescription(Int32 id, const String& name, const Filename& resFolder) override {
    return !failDescriptions && Host::RegisterDescription(id, name, resFolder);
  }
};

struct ModuleTest : ::testing::Test {
  FaultyHost host;
  hostrt::PluginSystem plugins{host};
  String error;
  std::unique_ptr<hostrt::Module> m;
  void SetUp() override { host.NewDocument(); }
  void TearDown() override {
    m.reset();
    plugins.EndAll();
    hostrt::Registry::Get().Clear();
  }
  void Load() { ASSERT_TRUE(m = hostrt::Module::Load(kModule, error)) << error; }
  void Start() { ASSERT_TRUE(plugins.Start(kModule, error)) << error; }
};

}  // namespace

TEST_F(ModuleTest, ActionTable) {
  Load();
  char folder[] = "/nowhere";
  EXPECT_EQ(m->Call(4, nullptr, nullptr, nullptr), 5);
  EXPECT_EQ(m->Call(5, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(m->Call(99, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(m->Call(1, &host, nullptr, folder), 1);
  EXPECT_EQ(m->Call(6, Msg(2), nullptr, nullptr), 0) << "other plug-in messages answer false";
  EXPECT_EQ(m->Call(6, Msg(1), nullptr, nullptr), 0) << "no res folder at /nowhere";
  EXPECT_EQ(m->Call(3, nullptr, nullptr, nullptr), 1);
}

TEST_F(ModuleTest, OldInterfaceOrMissingFolderIsRefused) {
  Load();
  hostrt::Host old(19023);
  char folder[] = "/x";
  EXPECT_EQ(m->Call(1, &old, nullptr, folder), -3);
  EXPECT_EQ(m->Call(1, nullptr, nullptr, folder), -3);
  EXPECT_EQ(m->Call(1, &host, nullptr, nullptr), -3);
  hostrt::Host newer(19100);
  EXPECT_EQ(m->Call(1, &newer, nullptr, folder), 1);
  EXPECT_EQ(m->Call(3, nullptr, nullptr, nullptr), 1);
}

TEST_F(ModuleTest, InitAndEndAreReferenceCounted) {
  Load();
  String folder = kFolder;
  ASSERT_EQ(m->Call(1, &host, nullptr, folder.data()), 1);
  hostrt::Host old(100);
  EXPECT_EQ(m->Call(1, &old, nullptr, folder.data()), 1) << "a second init answers true at once";
  EXPECT_EQ(m->Call(3, nullptr, nullptr, nullptr), 1);
  // Still set up: the resource loads and the start registers through the first table.
  ASSERT_EQ(m->Call(6, Msg(1), nullptr, nullptr), 1);
  ASSERT_EQ(m->Call(2, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(host.RegistrationCount(), 4);
  EXPECT_EQ(old.RegistrationCount(), 0);
  EXPECT_EQ(m->Call(3, nullptr, nullptr, nullptr), 1);
  // After the last end the table is gone: a start registers nothing.
  hostrt::Registry::Get().Clear();
  EXPECT_EQ(m->Call(2, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(host.RegistrationCount(), 4);
}

TEST_F(ModuleTest, StartRegistersInOrderAndPrintsTheBannerOnce) {
  ASSERT_TRUE(plugins.StartAll(fs::path(kFolder).parent_path().string(), error)) << error;
  EXPECT_EQ(RegisteredIds(), (std::vector<Int32>{1024239, 1030718, 1030745, 1039183}));
  const auto& e = hostrt::Registry::Get().Entries();
  EXPECT_EQ(e[0]->name, "Pelterra");
  EXPECT_EQ(e[0]->help.rfind("Pelterra", 0), 0u);
  EXPECT_GT(e[0]->help.size(), e[0]->name.size()) << "help = name followed by the info text";
  EXPECT_EQ(e[1]->kind, hostrt::PluginKind::Track);
  EXPECT_EQ(e[1]->name, e[2]->name) << "track and morph command share string 10188";
  EXPECT_EQ(e[3]->kind, hostrt::PluginKind::Tag);
  EXPECT_EQ(e[3]->info, 11);
#ifdef _WIN32
  // Built without libtiff: no plug-in gets its icon.
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(e[i]->icon, nullptr) << i;
#else
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(e[i]->icon == nullptr, i == 1) << i;
#endif
  EXPECT_EQ(e[1]->description, "CTblinker");
  EXPECT_EQ(e[3]->description, "TransferUV");

  // The product line = 10068 followed by 10069, between two dashed lines.
  EXPECT_EQ(host.Console(), (std::vector<String>{kDashes, e[0]->help, kDashes}));

  Description key;
  EXPECT_TRUE(key.LoadDescription("CT_AUV")) << "the key description was registered";
  EXPECT_NE(key.GetParameterI(1000), nullptr);
}

TEST_F(ModuleTest, FirstFailedRegistrationStopsTheStart) {
  for (Int32 failAt = 0; failAt < 4; ++failAt) {
    FaultyHost h;
    h.failRegistrationAt = failAt;
    hostrt::PluginSystem ps(h);
    EXPECT_FALSE(ps.Start(kModule, error)) << failAt;
    EXPECT_EQ(h.asked, failAt + 1) << "nothing is attempted after the failure";
    std::vector<Int32> all{1024239, 1030718, 1030745, 1039183};
    all.erase(all.begin() + failAt, all.end());
    EXPECT_EQ(RegisteredIds(), all);
    ps.EndAll();
  }
}

TEST_F(ModuleTest, FailedKeyDescriptionStopsTrackAndLaterPlugins) {
  host.failDescriptions = true;
  EXPECT_FALSE(plugins.Start(kModule, error));
  EXPECT_EQ(RegisteredIds(), (std::vector<Int32>{1024239}));
}

TEST_F(ModuleTest, WithoutADescriptionIdTheKeyDescriptionIsSkipped) {
  host.giveDescriptionIds = false;
  Start();
  EXPECT_EQ(RegisteredIds().size(), 4u);
  Description key;
  EXPECT_FALSE(key.LoadDescription("CT_AUV"));
}

TEST_F(ModuleTest, MissingResourceStopsTheStart) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_nores_" + std::to_string(::getpid()));
  fs::create_directories(dir / "Pelterra");
  fs::copy_file(kModule, dir / "Pelterra" / "Pelterra.cdl64", fs::copy_options::overwrite_existing);
  EXPECT_FALSE(plugins.StartAll(dir.string(), error));
  EXPECT_NE(error.find("resources"), String::npos) << error;
  EXPECT_TRUE(RegisteredIds().empty());
  EXPECT_EQ(BannerLines(host), 0) << "no banner without a start";
  ASSERT_EQ(host.Console().size(), 1u);
  EXPECT_NE(host.Console()[0].find("no resource folder"), String::npos) << host.Console()[0];
  plugins.EndAll();
  fs::remove_all(dir);
}

TEST_F(ModuleTest, DamagedResourceNamesItsFileAndLine) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_badres_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Pelterra");
  fs::copy_file(kModule, dir / "Pelterra" / "Pelterra.cdl64");
  fs::copy(fs::path(kFolder) / "res", dir / "Pelterra" / "res", fs::copy_options::recursive);
  // A block comment over three lines, then a character that starts no word on line 5.
  std::ofstream(dir / "Pelterra" / "res" / "dialogs" / "DLG_SCALE.res")
      << "/* first\n   second\n   third */\nDIALOG DLG_SCALE\n{ @ }\n";
  EXPECT_FALSE(plugins.StartAll(dir.string(), error));
  ASSERT_FALSE(host.Console().empty());
  const String& line = host.Console().back();
  EXPECT_NE(line.find("DLG_SCALE.res:5:"), String::npos) << line;
  EXPECT_EQ(BannerLines(host), 0);
  plugins.EndAll();
  fs::remove_all(dir);
}

// A dialog layout that is missing opened its dialog with a hole; now the start stops, and the
// error itself says which file, for a host that does not show the console.
TEST_F(ModuleTest, MissingDialogLayoutStopsTheStartAndNamesTheFile) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_nolayout_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Pelterra");
  fs::copy_file(kModule, dir / "Pelterra" / "Pelterra.cdl64");
  fs::copy(fs::path(kFolder) / "res", dir / "Pelterra" / "res", fs::copy_options::recursive);
  const fs::path layout = dir / "Pelterra" / "res" / "dialogs" / "DLG_ROTATE.res";
  fs::remove(layout);
  EXPECT_FALSE(plugins.StartAll(dir.string(), error));
  EXPECT_TRUE(RegisteredIds().empty());
  const String why = layout.string() + ": missing; it holds the dialog layout DLG_ROTATE";
  EXPECT_NE(error.find("could not load its resources\n  Pelterra: " + why), String::npos) << error;
  ASSERT_FALSE(host.Console().empty());
  EXPECT_EQ(host.Console().back(), "Pelterra: " + why);
  plugins.EndAll();
  fs::remove_all(dir);
}

TEST_F(ModuleTest, ADamagedDescriptionStopsTheStartWithItsFileAndLine) {
  fs::path dir = fs::temp_directory_path() / ("pelterra_baddesc_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "Pelterra");
  fs::copy_file(kModule, dir / "Pelterra" / "Pelterra.cdl64");
  fs::copy(fs::path(kFolder) / "res", dir / "Pelterra" / "res", fs::copy_options::recursive);
  const fs::path desc = dir / "Pelterra" / "res" / "description" / "TransferUV.res";
  std::ofstream(desc) << "CONTAINER TransferUV\n{\n  WEIRD X;\n}\n";
  EXPECT_FALSE(plugins.StartAll(dir.string(), error));
  // The reason follows the error on its own line; the banner printed before it does not.
  EXPECT_NE(error.find("start failed (a plug-in could not be registered)\n  Description "
                       "TransferUV: " +
                       desc.string() + ":3: unknown parameter type WEIRD"),
            String::npos)
      << error;
  EXPECT_EQ(error.find(kDashes), String::npos) << error;
  plugins.EndAll();
  fs::remove_all(dir);
}

TEST_F(ModuleTest, BannerOncePerStart) {
  for (int run = 0; run < 2; ++run) {
    Start();
    EXPECT_EQ(BannerLines(host), 2 * (run + 1));
    plugins.EndAll();
  }
}

TEST_F(ModuleTest, CommandsOpenTheirDialogAndReopenTheSameOne) {
  Start();
  CommandData* uv = hostrt::Registry::Get().Find(1024239)->command.get();
  CommandData* morph = hostrt::Registry::Get().Find(1030745)->command.get();
  BaseDocument* doc = host.ActiveDocument();
  EXPECT_EQ(uv->GetState(doc), 0x40000000);
  EXPECT_EQ(morph->GetState(doc), 0x40000000);

  ASSERT_TRUE(uv->Execute(doc));
  ASSERT_EQ(host.Windows().size(), 1u);
  hostrt::OpenWindow w = host.Windows()[0];
  EXPECT_EQ((std::vector<Int32>{w.type, w.pluginId, w.x, w.y, w.w, w.h, w.subId}),
            (std::vector<Int32>{20, 1024239, -1, -1, 380, 500, 0}));
  EXPECT_EQ(w.dialog->GetTitle(), "Pelterra");

  ASSERT_TRUE(host.UserClose(w.dialog));
  EXPECT_TRUE(host.Windows().empty());
  ASSERT_TRUE(uv->Execute(doc));
  EXPECT_EQ(host.Windows()[0].dialog, w.dialog) << "the same dialog object reopens";

  ASSERT_TRUE(morph->Execute(doc));
  ASSERT_EQ(host.Windows().size(), 2u);
  EXPECT_EQ(host.Windows()[1].pluginId, 1030745);
  EXPECT_NE(host.Windows()[1].dialog->GetModel()->Find(10186), nullptr) << "morph layout loaded";
  EXPECT_TRUE(host.Windows()[1].w == 0 && host.Windows()[1].h == 0);
  EXPECT_FALSE(uv->RestoreLayout(nullptr)) << "this host keeps no saved layouts";
}

TEST_F(ModuleTest, TransferTagAllocatesWithItsDefaults) {
  Start();
  BaseTag* tag = BaseTag::Alloc(1039183);
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->GetDataInstance()->GetFloat(1003), 1.0);
  NodeData* data = tag->GetNodeData();
  ASSERT_NE(data, nullptr);
  Description d;
  DESCFLAGS_DESC flags = DESCFLAGS_DESC_0;
  ASSERT_TRUE(data->GetDDescription(tag, &d, flags));
  EXPECT_EQ(flags & DESCFLAGS_DESC_LOADED, DESCFLAGS_DESC_LOADED);
  EXPECT_EQ(d.GetParameterI(1004)->GetInt32(DESC_HIDE), 1);
  for (Int32 id : {1001, 1002, 1003})
    EXPECT_FALSE(data->GetDEnabling(tag, id, GeData(), 0, nullptr));
  EXPECT_TRUE(data->GetDEnabling(tag, 1005, GeData(), 0, nullptr));
  BaseTag::Free(tag);
}

#ifdef _WIN32
TEST(ModuleFile, ExportsOnlyTheEntryFunction) {
  GTEST_SKIP() << "the DLL's export table is read with objdump by the test module_exports";
}
#else
// Reads the module's dynamic symbol table straight from the ELF file.
TEST(ModuleFile, ExportsOnlyTheEntryFunction) {
  std::ifstream f(kModule, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), sizeof(Elf64_Ehdr));
  Elf64_Ehdr eh;
  std::memcpy(&eh, bytes.data(), sizeof eh);
  ASSERT_EQ(std::memcmp(eh.e_ident, ELFMAG, SELFMAG), 0);
  ASSERT_EQ(eh.e_ident[EI_CLASS], ELFCLASS64);
  auto section = [&](size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, bytes.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
    return sh;
  };
  std::vector<String> exported;
  bool found = false;
  for (size_t i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh = section(i);
    if (sh.sh_type != SHT_DYNSYM) continue;
    found = true;
    Elf64_Shdr strtab = section(sh.sh_link);
    for (size_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, bytes.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
      if (sym.st_shndx == SHN_UNDEF) continue;
      int bind = ELF64_ST_BIND(sym.st_info);
      if (bind != STB_GLOBAL && bind != STB_WEAK) continue;
      String name(bytes.data() + strtab.sh_offset + sym.st_name);
      exported.push_back(name + (ELF64_ST_TYPE(sym.st_info) == STT_FUNC ? "()" : ""));
    }
  }
  ASSERT_TRUE(found) << "no dynamic symbol table";
  EXPECT_EQ(exported, (std::vector<String>{"c4d_main()"}));
}
#endif
