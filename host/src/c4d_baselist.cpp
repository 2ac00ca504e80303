#include "c4d_baselist.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "c4d_basedocument.h"
#include "c4d_description.h"
#include "c4d_nodedata.h"

namespace {

// Serial-to-node table; links and undo entries resolve nodes through it.
struct NodeTable {
  std::mutex mutex;
  std::unordered_map<UInt64, GeListNode*> nodes;
  UInt64 next = 1;
};

NodeTable& Table() {
  static NodeTable* table = new NodeTable();  // outlives every static node
  return *table;
}

}  // namespace

GeListNode::GeListNode() {
  NodeTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  serial_ = t.next++;
  t.nodes.emplace(serial_, this);
}

GeListNode::~GeListNode() {
  // Children are owned by their parent.
  while (down_) {
    GeListNode* c = down_;
    c->Remove();
    delete c;
  }
  Remove();
  NodeTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.nodes.erase(serial_);
}

GeListNode* GeListNode::FindBySerial(UInt64 serial) {
  if (serial == 0) return nullptr;
  NodeTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.nodes.find(serial);
  return it == t.nodes.end() ? nullptr : it->second;
}

GeListNode* GeListNode::GetDownLast() const {
  GeListNode* n = down_;
  while (n && n->next_) n = n->next_;
  return n;
}

void GeListNode::Remove() {
  if (prev_) prev_->next_ = next_;
  if (next_) next_->prev_ = prev_;
  if (up_ && up_->down_ == this) up_->down_ = next_;
  prev_ = next_ = up_ = nullptr;
}

void GeListNode::InsertBefore(GeListNode* bl) {
  if (!bl || bl == this) return;
  Remove();
  up_ = bl->up_;
  next_ = bl;
  prev_ = bl->prev_;
  if (prev_) prev_->next_ = this;
  bl->prev_ = this;
  if (up_ && up_->down_ == bl) up_->down_ = this;
}

void GeListNode::InsertAfter(GeListNode* bl) {
  if (!bl || bl == this) return;
  Remove();
  up_ = bl->up_;
  prev_ = bl;
  next_ = bl->next_;
  if (next_) next_->prev_ = this;
  bl->next_ = this;
}

void GeListNode::InsertUnder(GeListNode* parent) {
  if (!parent || parent == this) return;
  Remove();
  up_ = parent;
  next_ = parent->down_;
  if (next_) next_->prev_ = this;
  parent->down_ = this;
}

void GeListNode::InsertUnderLast(GeListNode* parent) {
  if (!parent || parent == this) return;
  GeListNode* last = parent->GetDownLast();
  if (last)
    InsertAfter(last);
  else
    InsertUnder(parent);
}

GeListHead* GeListNode::GetListHead() const {
  const GeListNode* n = this;
  while (n->up_) {
    n = n->up_;
    if (n->IsListHead()) return static_cast<GeListHead*>(const_cast<GeListNode*>(n));
  }
  return nullptr;
}

Bool GeListNode::Message(Int32, void*) {
  return true;
}

Bool BaseList2D::Message(Int32 type, void* data) {
  if (type == MSG_UPDATE) {
    ++dataDirty_;
    ++updates_;
  }
  return GeListNode::Message(type, data);
}

BaseDocument* GeListNode::GetDocument() const {
  GeListHead* head = GetListHead();
  return head ? head->GetDocument() : nullptr;
}

void GeListHead::Insert(GeListNode* node, GeListNode* parent, GeListNode* pred) {
  if (!node) return;
  if (pred)
    node->InsertAfter(pred);
  else
    node->InsertUnder(parent ? parent : this);
}

BaseDocument* GeListHead::GetDocument() const {
  return owner_ ? owner_->GetDocument() : nullptr;
}

// --- BaseList2D ---

BaseList2D::BaseList2D(Int32 type) : type_(type) {}

BaseList2D::~BaseList2D() {
  if (nodeData_) nodeData_->Free(this);
}

void BaseList2D::SetNodeData(std::unique_ptr<NodeData> data) {
  nodeData_ = std::move(data);
}

Bool BaseList2D::GetParameter(Int32 id, GeData& t_data) const {
  const GeData* d = data_.GetDataPointer(id);
  if (!d) return false;
  t_data = *d;
  return true;
}

Bool BaseList2D::SetParameter(Int32 id, const GeData& t_data) {
  data_.SetData(id, t_data);
  ++dataDirty_;
  return true;
}

Bool BaseList2D::GetParameter(const DescID& id, GeData& t_data, DESCFLAGS_GET) const {
  return id.GetDepth() == 1 && GetParameter(id[0].id, t_data);
}

Bool BaseList2D::SetParameter(const DescID& id, const GeData& t_data, DESCFLAGS_SET) {
  return id.GetDepth() == 1 && SetParameter(id[0].id, t_data);
}

BaseList2D* BaseList2D::GetMain() const {
  GeListHead* head = GetListHead();
  return head ? head->GetMain() : nullptr;
}

BaseList2D* BaseList2D::AllocSame() const {
  return new BaseList2D(type_);
}

void BaseList2D::CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const {
  dest->name_ = name_;
  dest->data_ = data_;
  if (!(flags & COPYFLAGS_NO_BITS)) {
    dest->bits_ = bits_;
    dest->nbits_ = nbits_;
  }
  if (nodeData_ && dest->nodeData_)
    nodeData_->CopyTo(dest->nodeData_.get(), this, dest, flags, trans);
}

void BaseList2D::CopyHierarchyTo(BaseList2D*, Int32, AliasTrans*) const {}

BaseList2D* BaseList2D::GetClone(Int32 flags, AliasTrans* trans) const {
  BaseList2D* c = AllocSame();
  if (!c) return nullptr;
  CopyDataTo(c, flags, trans);
  CopyHierarchyTo(c, flags, trans);
  return c;
}

namespace {
struct CopyState : NodeState {
  std::unique_ptr<BaseList2D> copy;
};
}  // namespace

std::unique_ptr<NodeState> BaseList2D::SaveState() const {
  auto s = std::make_unique<CopyState>();
  s->copy.reset(AllocSame());
  CopyDataTo(s->copy.get(), COPYFLAGS_0, nullptr);
  return s;
}

BaseList2D* BaseList2D::StateNode(NodeState& state) {
  auto* s = dynamic_cast<CopyState*>(&state);
  return s ? s->copy.get() : nullptr;
}

void BaseList2D::RestoreState(const NodeState& state) {
  const auto* s = dynamic_cast<const CopyState*>(&state);
  if (s && s->copy) s->copy->CopyDataTo(this, COPYFLAGS_0, nullptr);
  ++dataDirty_;  // what a generator built from the old data is out of date
}
