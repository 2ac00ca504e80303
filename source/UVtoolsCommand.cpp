// The command that opens the UV tools dialog, and its registration.
#include "UVtools.h"
#include "c4d_basebitmap.h"
#include "c4d_commanddata.h"
#include "c4d_gui.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"

namespace {

void PrintBanner() {
  const String line(56, '-');
  GePrint(line);
  GePrint(GeLoadString(IDS_PELTERRA) + GeLoadString(IDS_PELTERRA_INFO));
  GePrint(line);
}

}  // namespace

class UVCommand : public CommandData {
 public:
  UVCommand() { PrintBanner(); }
  ~UVCommand() override = default;

  Bool Execute(BaseDocument* doc) override {
    (void)doc;
    return dialog_.Open(DLG_TYPE_ASYNC, ID_UVCOMMAND, -1, -1, 380, 500, 0);
  }
  Int32 GetState(BaseDocument* doc) override {
    (void)doc;
    return CMD_ENABLED;
  }
  Bool RestoreLayout(void* secret) override {
    return dialog_.RestoreLayout(ID_UVCOMMAND, 0, secret);
  }

 private:
  UVtools dialog_;
};

Bool RegisterUVCommand() {
  String name = GeLoadString(IDS_PELTERRA);
  String help = GeLoadString(IDS_PELTERRA) + GeLoadString(IDS_PELTERRA_INFO);
  return RegisterCommandPlugin(ID_UVCOMMAND, name, 0, AutoBitmap("Pelterra.tif", 1.0), help,
                               new UVCommand());
}
