// The command that opens the UV morph dialog, and its registration.
#include "AniUVCommand.h"

#include "AUV.h"
#include "c4d_basebitmap.h"
#include "c4d_basedocument.h"
#include "c4d_commanddata.h"
#include "c4d_general.h"
#include "c4d_resource.h"
#include "c4d_symbols.h"
#include "main.h"

Bool AniUVTOOL::CreateLayout() {
  // The base step has no effect of its own; it runs twice, as it always has.
  if (!GeDialog::CreateLayout() || !GeDialog::CreateLayout()) return false;
  return LoadDialogResource(DLG_UVMORPH, nullptr, 0);
}

Bool AniUVTOOL::InitValues() {
  BaseDocument* doc = GetActiveDocument();
  const Int32 frame = doc ? doc->GetTime().GetFrame(doc->GetFps()) : 0;
  SetInt32(IDC_MORPH_FRAME, frame);
  SetInt32(IDC_MORPH_WHERE, IDC_MORPH_NOW);
  UpdateEnabling();
  const String dashes(56, '-');
  GePrint(dashes);
  GePrint(GeLoadString(IDS_PELTERRA) + " " + GeLoadString(IDS_PELTERRA_INFO));
  GePrint(dashes);
  return true;
}

void AniUVTOOL::UpdateEnabling() {
  Int32 where = IDC_MORPH_NOW;
  GetInt32(IDC_MORPH_WHERE, where);
  const Bool atFrame = where != IDC_MORPH_NOW;
  Enable(IDC_MORPH_FRAME, atFrame);
  Enable(IDC_MORPH_FRAME_LABEL, atFrame);
}

Bool AniUVTOOL::Command(Int32 id, const BaseContainer& msg) {
  (void)msg;
  switch (id) {
    case IDC_MORPH_WHERE:
      UpdateEnabling();
      return true;
    case IDC_MORPH_RECORD:
      return RecordKey();
    case IDC_MORPH_CLOSE:
      Close();
      return true;
    default:
      return true;
  }
}

namespace {

// The object's morph track, made and recorded as new when it has none; nullptr when the host
// makes none.
CTrack* MorphTrack(BaseDocument* doc, PolygonObject* op) {
  CTrack* track = op->FindCTrack(DescID(ID_AUVTRACK));
  if (track) return track;
  track = CTrack::Alloc(op, DescID(ID_AUVTRACK));
  if (!track) return nullptr;
  op->InsertTrackSorted(track);
  doc->AddUndo(UNDOTYPE_NEW, track);
  return track;
}

// The recording's changes. Its undo entries stand alone, each one undo step: the key, then a
// track it made, then the object.
Bool Record(BaseDocument* doc, PolygonObject* op, UVWTag* tag, const BaseTime& time) {
  doc->AddUndo(UNDOTYPE_CHANGE, op);
  CTrack* track = MorphTrack(doc, op);
  if (!track) return false;
  CCurve* curve = track->GetCurve(CCURVE_CURVE, true);
  if (!curve) return false;
  CKey* key = curve->AddKey(time);
  if (!key) return false;
  doc->AddUndo(UNDOTYPE_NEW, key);
  if (op->GetPolygonCount() == 0) return false;  // the key stays, empty
  if (!FillMorphKey(key, op, tag)) return false;
  EventAdd(0);
  return true;
}

}  // namespace

Bool AniUVTOOL::RecordKey() {
  BaseDocument* doc = GetActiveDocument();
  if (!doc) return false;
  BaseObject* obj = doc->GetActiveObject();
  if (!obj || obj->GetType() != Opolygon) {
    MessageDialog("Select Polygon Object.");
    return false;
  }
  auto* op = static_cast<PolygonObject*>(obj);
  UVWTag* tag = MorphTag(op);
  if (!tag) {
    MessageDialog("There is no UVtag");
    return false;
  }
  BaseTime time = doc->GetTime();
  Int32 where = IDC_MORPH_NOW;
  GetInt32(IDC_MORPH_WHERE, where);
  if (where != IDC_MORPH_NOW) {
    Int32 frame = 0;
    GetInt32(IDC_MORPH_FRAME, frame);
    time = BaseTime(frame, doc->GetFps());
  }
  return Record(doc, op, tag, time);
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
