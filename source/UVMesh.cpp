#include "UVMesh.h"

#include <algorithm>
#include <cmath>

#include "TransferTAG.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_symbols.h"

namespace {

// Closes the undo step on every path.
struct UndoStep {
  BaseDocument* doc;
  explicit UndoStep(BaseDocument* d) : doc(d) { doc->StartUndo(); }
  ~UndoStep() { doc->EndUndo(); }
};

// The first UVW tag of op that is selected in the object manager.
UVWTag* SelectedUVWTag(BaseObject* op) {
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext())
    if (t->GetType() == Tuvw && t->GetBit(BIT_ACTIVE)) return static_cast<UVWTag*>(t);
  return nullptr;
}

TextureTag* FirstTextureTag(BaseObject* op) {
  return static_cast<TextureTag*>(op->GetTag(Ttexture));
}

// The backdrop: an s × s plane in the mesh's XY plane over the unit UV square, under the mesh.
BaseObject* InsertPlane(BaseDocument* doc, BaseObject* mesh, Float s) {
  BaseObject* plane = BaseObject::Alloc(Oplane);
  if (!plane) return nullptr;
  BaseContainer* bc = plane->GetDataInstance();
  bc->SetFloat(PRIM_PLANE_WIDTH, s);
  bc->SetFloat(PRIM_PLANE_HEIGHT, s);
  bc->SetInt32(PRIM_PLANE_SUBW, 1);
  bc->SetInt32(PRIM_PLANE_SUBH, 1);
  bc->SetInt32(PRIM_AXIS, PRIM_AXIS_ZN);
  doc->InsertObject(plane, mesh, nullptr);
  plane->SetMl(
      Matrix(Vector(s / 2.0, s / 2.0, 0.0), Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)));
  plane->ChangeNBit(NBIT_NOSELECT_VIEW, true);
  plane->ChangeNBit(NBIT_LOCKED, true);
  if (BaseTag* display = BaseTag::Alloc(Tdisplay)) {
    plane->InsertTag(display);
    display->SetParameter(DISPLAYTAG_AFFECT_DISPLAYMODE, GeData(Int32(1)));
    display->SetParameter(DISPLAYTAG_SDISPLAYMODE, GeData(Int32(1)));
  }
  return plane;
}

// Takes the transfer tags out of a fresh clone and its children: copied from a source that is a
// UV mesh itself (or has one below it), they would write the clone's points into their own
// source's UVs.
void DropTransferTags(BaseObject* op) {
  for (BaseTag* t = op->GetFirstTag(); t;) {
    BaseTag* next = t->GetNext();
    if (t->GetType() == ID_TRANSFERTAG) BaseTag::Free(t);
    t = next;
  }
  for (BaseObject* child = op->GetDown(); child; child = child->GetNext()) DropTransferTags(child);
}

}  // namespace

Float UVMeshSize(const BaseObject& op) {
  const Vector rad = op.GetRad();
  const Float s = 2.0 * rad.x;
  if (s > 0.0 && std::isfinite(s)) return s;
  // Flat in x, or empty: the largest side, or the unit size.
  const Float largest = 2.0 * std::max({rad.x, rad.y, rad.z});
  return largest > 0.0 && std::isfinite(largest) ? largest : 1.0;
}

Bool CreateUVmesh() {
  BaseDocument* doc = GetActiveDocument();
  if (!doc) return false;
  UndoStep undo(doc);

  BaseObject* op = doc->GetActiveObject();
  if (!op || op->GetType() != Opolygon) return false;
  UVWTag* source = SelectedUVWTag(op);
  if (!source) {
    GeOutString("Please select UVW tag and object.", GEMB_OK | GEMB_ICONEXCLAMATION);
    return false;
  }

  AliasTrans* trans = AliasTrans::Alloc();
  if (trans) trans->Init(doc);
  auto* mesh = static_cast<PolygonObject*>(op->GetClone(COPYFLAGS_0, trans));
  if (trans) {
    trans->Translate(true);
    AliasTrans::Free(trans);
  }
  if (!mesh) return false;
  DropTransferTags(mesh);
  doc->InsertObject(mesh, nullptr, op);
  mesh->SetName(op->GetName() + "_UVmesh");
  doc->AddUndo(UNDOTYPE_NEW, mesh);

  // Every polygon on points of its own.
  const Int32 n = mesh->GetPolygonCount();
  mesh->GetPolygonS()->DeselectAll();
  if (n > 0) mesh->GetPolygonS()->SelectAll(0, n - 1);
  BaseContainer settings;
  settings.SetBool(MDATA_DISCONNECT_PRESERVEGROUPS, false);
  ModelingCommandData md;
  md.doc = doc;
  md.op = mesh;
  md.bc = &settings;
  md.mode = MODELINGCOMMANDMODE_POLYGONSELECTION;
  if (!SendModelingCommand(MCOMMAND_DISCONNECT, md)) return false;

  // Each corner's point where its UV lies; a triangle's d point is its c point.
  const Float s = UVMeshSize(*op);
  const ConstUVWHandle uvs = source->GetDataAddressR();
  Vector* pts = mesh->GetPointW();
  const Int32 pointCount = mesh->GetPointCount();
  const CPolygon* polys = mesh->GetPolygonR();
  for (Int32 i = 0; i < n; ++i) {
    UVWStruct uv;
    UVWTag::Get(uvs, i, uv);
    const CPolygon& c = polys[i];
    for (Int32 k = 0; k < (c.c != c.d ? 4 : 3); ++k)
      if (c[k] >= 0 && c[k] < pointCount) pts[c[k]] = UVToMeshPoint(uv[k], s, true);
  }

  TextureTag* from = FirstTextureTag(op);
  TextureTag* to = FirstTextureTag(mesh);
  if (from && to && from->GetMaterial(doc)) to->SetMaterial(from->GetMaterial(doc));

  BaseTag* tag = BaseTag::Alloc(ID_TRANSFERTAG);
  if (!tag) return false;
  mesh->InsertTag(tag);
  BaseContainer* bc = tag->GetDataInstance();
  bc->SetLink(TRANSFERUV_UVWTAG, source);
  bc->SetLink(TRANSFERUV_OBJECT, op);
  bc->SetFloat(TRANSFERUV_SIZE, s);
  mesh->Message(MSG_UPDATE);

  if (BaseObject* plane = InsertPlane(doc, mesh, s)) bc->SetLink(TRANSFERUV_PLANE, plane);
  EventAdd();
  return true;
}

namespace {

void MeshCommand(ToolDialog&, Int32) {
  CreateUVmesh();
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV mesh",
    .controls = {IDC_CREATE_UVMESH},
    .command = MeshCommand,
});

}  // namespace
