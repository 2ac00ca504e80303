#include "c4d_basedocument.h"

#include <algorithm>
#include <vector>

#include "c4d_baseobject.h"

BaseMaterial::BaseMaterial() : BaseList2D(Mmaterial) {}
BaseMaterial* BaseMaterial::Alloc() {
  return new BaseMaterial();
}
void BaseMaterial::Free(BaseMaterial*& m) {
  delete m;
  m = nullptr;
}

// Undo groups. A change entry swaps the node's data with the saved data, so the same entry
// serves undo and redo. A new entry takes the node out of the tree on undo and puts it back,
// where it was, on redo.
class UndoSystem {
 public:
  struct Entry {
    UNDOTYPE type;
    UInt64 serial;                     // the node recorded
    std::unique_ptr<NodeState> state;  // change: the data to swap in
    std::unique_ptr<GeListNode> held;  // new, while undone: the removed node
    UInt64 upSerial = 0, predSerial = 0;
  };
  using Group = std::vector<Entry>;

  Bool Start() {
    if (depth_++ == 0) open_.clear();
    return true;
  }

  Bool Add(UNDOTYPE type, BaseList2D* node) {
    if (!node) return false;
    Entry e{type, node->GetSerial(), nullptr, nullptr};
    switch (type) {
      case UNDOTYPE_CHANGE:
      case UNDOTYPE_CHANGE_NOCHILDREN:
      case UNDOTYPE_CHANGE_SMALL:
      case UNDOTYPE_CHANGE_SELECTION:
        // An open group that already saved this node restores it to that earlier state; a
        // second copy (a write-back inside a tool's own group) would only cost memory.
        if (Saved(e.serial)) return true;
        e.state = node->SaveState();
        break;
      case UNDOTYPE_NEW:
        break;
      default:
        return false;
    }
    Append(std::move(e));
    return true;
  }

  Bool AddState(BaseList2D* node, std::unique_ptr<NodeState> state) {
    if (!node || !state) return false;
    Append({UNDOTYPE_CHANGE, node->GetSerial(), std::move(state), nullptr});
    return true;
  }

  // Whether the open group holds a change entry for the node.
  Bool Saved(UInt64 serial) const {
    return depth_ > 0 && std::any_of(open_.begin(), open_.end(), [serial](const Entry& o) {
             return o.serial == serial && o.type != UNDOTYPE_NEW;
           });
  }

  Bool End() {
    if (depth_ == 0) return false;
    if (--depth_ == 0 && !open_.empty()) {
      Push(std::move(open_));
      open_.clear();
    }
    return true;
  }

  Bool Undo() {
    if (depth_ != 0 || undo_.empty()) return false;
    Group g = std::move(undo_.back());
    undo_.pop_back();
    for (auto it = g.rbegin(); it != g.rend(); ++it) Revert(*it);
    redo_.push_back(std::move(g));
    return true;
  }

  Bool Redo() {
    if (depth_ != 0 || redo_.empty()) return false;
    Group g = std::move(redo_.back());
    redo_.pop_back();
    for (auto& e : g) Reapply(e);
    undo_.push_back(std::move(g));
    return true;
  }

  Int32 UndoCount() const { return static_cast<Int32>(undo_.size()); }
  Int32 RedoCount() const { return static_cast<Int32>(redo_.size()); }
  void Flush() {
    undo_.clear();
    redo_.clear();
    open_.clear();
    depth_ = 0;
  }

 private:
  void Append(Entry e) {
    if (depth_ == 0) {  // outside a group: a group of its own
      Group g;
      g.push_back(std::move(e));
      Push(std::move(g));
    } else {
      open_.push_back(std::move(e));
    }
  }

  void Push(Group g) {
    undo_.push_back(std::move(g));
    redo_.clear();
  }

  static void Swap(Entry& e) {
    auto* node = dynamic_cast<BaseList2D*>(GeListNode::FindBySerial(e.serial));
    if (!node || !e.state) return;
    std::unique_ptr<NodeState> now = node->SaveState();
    node->RestoreState(*e.state);
    e.state = std::move(now);
  }

  static void Revert(Entry& e) {
    if (e.type != UNDOTYPE_NEW) {
      Swap(e);
      return;
    }
    GeListNode* node = GeListNode::FindBySerial(e.serial);
    if (!node || e.held) return;
    e.upSerial = node->GetUp() ? node->GetUp()->GetSerial() : 0;
    e.predSerial = node->GetPred() ? node->GetPred()->GetSerial() : 0;
    node->Remove();
    e.held.reset(node);
  }

  static void Reapply(Entry& e) {
    if (e.type != UNDOTYPE_NEW) {
      Swap(e);
      return;
    }
    if (!e.held) return;
    GeListNode* pred = GeListNode::FindBySerial(e.predSerial);
    GeListNode* up = GeListNode::FindBySerial(e.upSerial);
    if (pred && pred->GetUp() == up)
      e.held.release()->InsertAfter(pred);
    else if (up)
      e.held.release()->InsertUnder(up);
  }

  Int32 depth_ = 0;
  Group open_;
  std::vector<Group> undo_, redo_;
};

BaseDocument::BaseDocument()
    : BaseList2D(Tbasedocument),
      objects_(this),
      materials_(this),
      undo_(std::make_unique<UndoSystem>()) {
  GetDataInstance()->SetInt32(DOCUMENT_FPS, 30);
  SetName("Untitled");
}

BaseDocument::~BaseDocument() {
  // Undo entries may hold removed nodes; free them before the tree goes.
  undo_.reset();
}

BaseDocument* BaseDocument::Alloc() {
  return new BaseDocument();
}

void BaseDocument::Free(BaseDocument*& doc) {
  delete doc;
  doc = nullptr;
}

BaseObject* BaseDocument::GetFirstObject() const {
  return BaseObject::Cast(objects_.GetFirst());
}

void BaseDocument::InsertObject(BaseObject* op, BaseObject* parent, BaseObject* pred) {
  if (!op) return;
  if (pred)
    op->InsertAfter(pred);
  else if (parent)
    op->InsertUnder(parent);
  else
    op->InsertUnder(&objects_);
}

namespace {
BaseObject* Search(BaseObject* op, const String& name) {
  for (; op; op = op->GetNext()) {
    if (op->GetName() == name) return op;
    if (BaseObject* f = Search(op->GetDown(), name)) return f;
  }
  return nullptr;
}
}  // namespace

BaseObject* BaseDocument::SearchObject(const String& name) const {
  return Search(GetFirstObject(), name);
}

BaseMaterial* BaseDocument::GetFirstMaterial() const {
  return static_cast<BaseMaterial*>(materials_.GetFirst());
}

void BaseDocument::InsertMaterial(BaseMaterial* mat, BaseMaterial* pred) {
  if (!mat) return;
  if (pred)
    mat->InsertAfter(pred);
  else
    mat->InsertUnder(&materials_);
}

BaseObject* BaseDocument::GetActiveObject() const {
  auto* op = dynamic_cast<BaseObject*>(GeListNode::FindBySerial(activeObject_));
  return op && op->GetDocument() == this ? op : nullptr;
}

void BaseDocument::SetActiveObject(BaseObject* op) {
  activeObject_ = op ? op->GetSerial() : 0;
}

Int32 BaseDocument::GetFps() const {
  return GetDataInstance()->GetInt32(DOCUMENT_FPS, 30);
}
void BaseDocument::SetFps(Int32 fps) {
  GetDataInstance()->SetInt32(DOCUMENT_FPS, fps);
}

Bool BaseDocument::StartUndo() {
  return undo_->Start();
}
Bool BaseDocument::AddUndo(UNDOTYPE type, BaseList2D* node) {
  return undo_->Add(type, node);
}
Bool BaseDocument::EndUndo() {
  return undo_->End();
}
Bool BaseDocument::DoUndo() {
  return undo_->Undo();
}
Bool BaseDocument::DoRedo() {
  return undo_->Redo();
}
Int32 BaseDocument::GetUndoCount() const {
  return undo_->UndoCount();
}
Int32 BaseDocument::GetRedoCount() const {
  return undo_->RedoCount();
}
void BaseDocument::FlushUndoBuffer() {
  undo_->Flush();
}
Bool BaseDocument::UndoSaved(const BaseList2D* node) const {
  if (!node) return false;
  const BaseList2D* main = node->GetMain();
  return undo_->Saved(node->GetSerial()) || (main && undo_->Saved(main->GetSerial()));
}
Bool BaseDocument::AddUndoState(BaseList2D* node, std::unique_ptr<NodeState> state) {
  return undo_->AddState(node, std::move(state));
}
