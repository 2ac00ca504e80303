#include "runtime/scene.h"

#include "c4d_baseobject.h"
#include "c4d_tagdata.h"
#include "runtime/animation.h"

namespace hostrt {

namespace {

template <typename F>
void ForEachPluginTag(BaseObject* op, F&& f) {
  for (; op; op = op->GetNext()) {
    for (BaseTag* tag = op->GetFirstTag(); tag; tag = tag->GetNext())
      if (auto* data = dynamic_cast<TagData*>(tag->GetNodeData())) f(op, tag, data);
    ForEachPluginTag(op->GetDown(), f);
  }
}

Int32 UpdateTree(BaseObject* op) {
  Int32 built = 0;
  for (; op; op = op->GetNext()) {
    built += UpdateCache(op) ? 1 : 0;
    built += UpdateTree(op->GetDown());
  }
  return built;
}

template <typename F>
void ForEachPluginTrack(BaseObject* op, F&& f) {
  for (; op; op = op->GetNext()) {
    for (CTrack* track = op->GetFirstCTrack(); track; track = track->GetNext())
      if (auto* data = dynamic_cast<CTrackData*>(track->GetNodeData())) f(op, track, data);
    ForEachPluginTrack(op->GetDown(), f);
  }
}

}  // namespace

Int32 UpdateCaches(BaseDocument& doc) {
  return UpdateTree(doc.GetFirstObject());
}

EvaluationReport EvaluateScene(BaseDocument& doc) {
  EvaluationReport r;
  ForEachPluginTrack(doc.GetFirstObject(), [&](BaseObject* op, CTrack* track, CTrackData* data) {
    const CAnimInfo info = AnimInfoAt(doc, op, *track);
    Bool changed = false;
    ++r.tracksAnimated;
    if (!data->Animate(track, &info, &changed, nullptr)) ++r.trackErrors;
  });
  r.cachesBuilt = UpdateCaches(doc);
  ForEachPluginTag(doc.GetFirstObject(), [&](BaseObject* op, BaseTag* tag, TagData* data) {
    ++r.tagsExecuted;
    if (data->Execute(tag, &doc, op, nullptr, 0, 0) != EXECUTIONRESULT_OK) ++r.tagErrors;
  });
  return r;
}

Int32 DrawViews(BaseDocument& doc, BaseDraw& view) {
  Int32 drew = 0;
  BaseDrawHelp help;
  ForEachPluginTag(doc.GetFirstObject(), [&](BaseObject* op, BaseTag* tag, TagData* data) {
    if (data->Draw(tag, op, &view, &help)) ++drew;
  });
  return drew;
}

}  // namespace hostrt
