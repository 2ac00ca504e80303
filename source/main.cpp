// Module entry: the host starts, messages and ends the plug-in through c4d_main.
#include "main.h"

#include <cstdint>

#include "c4d_general.h"
#include "c4d_os.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"

namespace {

Int32 initCount = 0;  // actions 1 not yet matched by an action 3

Bool PluginStart() {
  if (!RegisterUVCommand()) return false;
  if (!RegisterAuvTrack()) return false;
  if (!RegisterAniUVCommand()) return false;
  if (!RegisterTransferTAG()) return false;
  return true;
}

// The dialog layouts the plug-in's dialogs are built from; without one a dialog would open with
// a hole where its controls belong.
struct Layout {
  Int32 id;
  const char* name;
};
constexpr Layout kLayouts[] = {{DLG_COPYSHAPE, "DLG_COPYSHAPE"}, {DLG_SELECTAREA, "DLG_SELECTAREA"},
                               {DLG_ROTATE, "DLG_ROTATE"},       {DLG_SCALE, "DLG_SCALE"},
                               {DLG_SETUVW, "DLG_SETUVW"},       {DLG_EPSSIZE, "DLG_EPSSIZE"},
                               {DLG_UVMORPH, "DLG_UVMORPH"}};

Bool PluginMessage(Int32 id, void* data) {
  (void)data;
  if (id != C4DPL_MSG_INIT_SYS) return false;
  // Without its resource the plug-in cannot start; say which file and line stopped it.
  if (!g_resource.Init(GeGetPluginPath())) {
    GePrint("Pelterra: " + g_resource.GetLastError());
    return false;
  }
  for (const Layout& l : kLayouts)
    if (!g_resource.GetDialog(l.id)) {
      const Filename file = g_resource.GetResourcePath() + "dialogs" + (String(l.name) + ".res");
      GePrint("Pelterra: " + file.GetString() + ": missing; it holds the dialog layout " + l.name);
      return false;
    }
  return true;
}

}  // namespace

// The module's one exported symbol.
#ifdef _WIN32
#define PELTERRA_ENTRY extern "C" __declspec(dllexport)
#else
#define PELTERRA_ENTRY extern "C" __attribute__((visibility("default")))
#endif

PELTERRA_ENTRY Int32 c4d_main(Int32 action, void* p1, void* p2, void* p3) {
  switch (action) {
    case C4DPL_INIT_SYS:
      if (initCount > 0) {
        ++initCount;
        return true;
      }
      if (!p3 || !InitOS(p1)) return C4DPL_ERROR_OS;
      SetPluginPath(Filename(static_cast<const char*>(p3)));
      ++initCount;
      return true;
    case C4DPL_START:
      return PluginStart();
    case C4DPL_END:
      if (initCount > 1) {
        --initCount;
        return true;
      }
      if (initCount == 1) {
        initCount = 0;
        FreeOS();
      }
      return true;
    case C4DPL_INIT_VERSION:
      return 5;
    case C4DPL_MESSAGE:
      return PluginMessage(static_cast<Int32>(reinterpret_cast<std::intptr_t>(p1)), p2);
    default:
      return C4DPL_ERROR_TYPE;
  }
}
