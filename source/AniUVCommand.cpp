// The command that opens the UV morph dialog, and its registration.
#include "AniUVCommand.h"

#include "c4d_basebitmap.h"
#include "c4d_commanddata.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"

Bool AniUVTOOL::CreateLayout() {
  // The base step has no effect of its own; it runs twice, as it always has.
  if (!GeDialog::CreateLayout() || !GeDialog::CreateLayout()) return false;
  return LoadDialogResource(DLG_UVMORPH, nullptr, 0);
}

Bool AniUVTOOL::InitValues() {
  return true;
}

Bool AniUVTOOL::Command(Int32 id, const BaseContainer& msg) {
  (void)id;
  (void)msg;
  return true;
}

class AniUVCommand : public CommandData {
 public:
  Bool Execute(BaseDocument* doc) override {
    (void)doc;
    return dialog_.Open(DLG_TYPE_ASYNC, ID_ANIUVCOMMAND, -1, -1, 0, 0, 0);
  }
  Int32 GetState(BaseDocument* doc) override {
    (void)doc;
    return CMD_ENABLED;
  }
  Bool RestoreLayout(void* secret) override {
    return dialog_.RestoreLayout(ID_ANIUVCOMMAND, 0, secret);
  }

 private:
  AniUVTOOL dialog_;
};

Bool RegisterAniUVCommand() {
  String name = GeLoadString(IDS_UVMORPH);
  return RegisterCommandPlugin(ID_ANIUVCOMMAND, name, 0, AutoBitmap("UVmorph.tif", 1.0), name,
                               new AniUVCommand());
}
