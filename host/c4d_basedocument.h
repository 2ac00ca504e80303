// Documents: object tree, active object, editing mode, time, settings and undo.
#pragma once

#include <memory>
#include <vector>

#include "c4d_baselist.h"
#include "c4d_basetime.h"
#include "ge_math.h"

class BaseObject;
class BaseMaterial;

// Editing modes.
enum : Int32 {
  Mobject = 1,
  Mpoints = 5,
  Medges = 6,
  Mpolygons = 7,
  Mmodel = 11,
  Muvpoints = 13,
  Muvpolygons = 14,
};

// Document settings keys (GetDataInstance / GetSettingsInstance).
constexpr Int32 DOCUMENT_FPS = 1001;
constexpr Int32 DOCUMENT_DOCUNIT = 1002;

enum UNDOTYPE : Int32 {
  UNDOTYPE_CHANGE = 40,
  UNDOTYPE_CHANGE_NOCHILDREN = 41,
  UNDOTYPE_CHANGE_SMALL = 42,
  UNDOTYPE_CHANGE_SELECTION = 43,
  UNDOTYPE_NEW = 44,
};

// Length units of the unit-scale setting.
enum DOCUMENT_UNIT : Int32 {
  DOCUMENT_UNIT_KM = 1,
  DOCUMENT_UNIT_M = 2,
  DOCUMENT_UNIT_CM = 3,
  DOCUMENT_UNIT_MM = 4,
  DOCUMENT_UNIT_UM = 5,
  DOCUMENT_UNIT_NM = 6,
  DOCUMENT_UNIT_MILE = 7,
  DOCUMENT_UNIT_YARD = 8,
  DOCUMENT_UNIT_FOOT = 9,
  DOCUMENT_UNIT_INCH = 10,
};

// Length of one scene unit: scale times the unit.
class UnitScaleData {
 public:
  void GetUnitScale(Float& scale, DOCUMENT_UNIT& unit) const {
    scale = scale_;
    unit = unit_;
  }
  void SetUnitScale(Float scale, DOCUMENT_UNIT unit) {
    scale_ = scale;
    unit_ = unit;
  }

 private:
  Float scale_ = 1.0;
  DOCUMENT_UNIT unit_ = DOCUMENT_UNIT_CM;
};

class BaseMaterial : public BaseList2D {
 public:
  static BaseMaterial* Alloc();
  static void Free(BaseMaterial*& m);

 protected:
  BaseMaterial();
  BaseList2D* AllocSame() const override { return new BaseMaterial(); }
};

class UndoSystem;

class BaseDocument : public BaseList2D {
 public:
  static BaseDocument* Alloc();
  static void Free(BaseDocument*& doc);
  ~BaseDocument() override;

  BaseDocument* GetDocument() const override { return const_cast<BaseDocument*>(this); }

  BaseObject* GetFirstObject() const;
  // Inserts op under parent after pred; at the top of the tree when both are nullptr.
  void InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred);
  // First object of that name, searched depth first.
  BaseObject* SearchObject(const String& name) const;
  GeListHead* GetObjectHead() { return &objects_; }

  BaseMaterial* GetFirstMaterial() const;
  void InsertMaterial(BaseMaterial* mat, BaseMaterial* pred = nullptr);

  BaseObject* GetActiveObject() const;
  void SetActiveObject(BaseObject* op);

  Int32 GetMode() const { return mode_; }
  void SetMode(Int32 mode) { mode_ = mode; }

  BaseTime GetTime() const { return time_; }
  void SetTime(const BaseTime& t) { time_ = t; }
  Int32 GetFps() const;
  void SetFps(Int32 fps);

  UnitScaleData GetUnitScale() const { return units_; }
  void SetUnitScale(const UnitScaleData& u) { units_ = u; }

  // The folder and file name the document was loaded from or saved to.
  String GetDocumentPath() const { return path_; }
  String GetDocumentName() const { return docName_; }
  void SetDocumentPath(const String& path) { path_ = path; }
  void SetDocumentName(const String& name) { docName_ = name; }

  // Undo: groups of entries; undoing a group restores what it recorded.
  Bool StartUndo();
  Bool AddUndo(UNDOTYPE type, BaseList2D* node);
  Bool EndUndo();
  Bool DoUndo();
  Bool DoRedo();
  Int32 GetUndoCount() const;
  Int32 GetRedoCount() const;
  void FlushUndoBuffer();
  // Our host: whether an open undo group already saved node or the object it hangs on.
  Bool UndoSaved(const BaseList2D* node) const;
  // Our host: a change entry for node whose state was taken beforehand (a group of its own
  // outside an open one).
  Bool AddUndoState(BaseList2D* node, std::unique_ptr<NodeState> state);

 protected:
  BaseDocument();
  BaseList2D* AllocSame() const override { return new BaseDocument(); }

 private:
  GeListHead objects_;
  GeListHead materials_;
  UInt64 activeObject_ = 0;  // serial of the active object, 0 for none
  Int32 mode_ = Mmodel;
  BaseTime time_;
  UnitScaleData units_;
  String path_, docName_;
  std::unique_ptr<UndoSystem> undo_;
};

// Base-object type check helper used with IsInstanceOf.
constexpr Int32 Tbasedocument = 110059;
constexpr Int32 Mmaterial = 5703;
