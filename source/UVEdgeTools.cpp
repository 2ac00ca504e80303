#include "UVEdgeTools.h"

#include "c4d_general.h"
#include "c4d_symbols.h"

// Not built yet: each answers false and changes nothing.
Bool StitchSelectedEdges(ToolDialog&) {
  return false;
}

Bool ConnectUVPolygons(ToolDialog&, ConnectState&) {
  return false;
}

Bool ConnectUVPolygonsReversed(ToolDialog&, ConnectState&) {
  return false;
}

namespace {

void EdgeCommand(ToolDialog& dlg, Int32 id, ConnectState& connect) {
  if (id == IDC_EDGE_STITCH)
    StitchSelectedEdges(dlg);
  else
    ConnectUVPolygons(dlg, connect);
}

// The connect starts the timer; its first tick asks whether the reversed placement is wanted.
void EdgeTimer(ToolDialog& dlg, ConnectState& connect) {
  if (QuestionDialog("UV Revers ?")) ConnectUVPolygonsReversed(dlg, connect);
  dlg.SetTimer(0);
  std::vector<Vector>().swap(connect.reverseData);
}

const bool registered = RegisterToolGroup(ToolGroup<ConnectState>{
    .name = "edge stitch and polygon connect",
    .controls = {IDC_EDGE_STITCH, IDC_CONNECT},
    .command = EdgeCommand,
    .pending = {IDC_EDGE_STITCH, IDC_CONNECT},
    .timer = EdgeTimer,
});

}  // namespace
