// Node tree (GeListNode, GeListHead) and named nodes with a data container (BaseList2D).
#pragma once

#include <memory>
#include <set>

#include "c4d_basecontainer.h"
#include "c4d_string.h"
#include "ge_math.h"

class BaseDocument;
class BaseList2D;
class GeListHead;
class NodeData;
class AliasTrans;
class DescID;

// Flags of the parameter operations by description identifier.
enum DESCFLAGS_GET : Int32 { DESCFLAGS_GET_0 = 0 };
enum DESCFLAGS_SET : Int32 { DESCFLAGS_SET_0 = 0 };

// Node bits (BaseList2D::GetBit / SetBit).
constexpr Int32 BIT_ACTIVE = 2;  // selected in the manager (a tag's selected state)

// Node flags (BaseList2D::GetNBit / ChangeNBit) that this host gives a meaning.
constexpr Int32 NBIT_NOSELECT_VIEW = 63;  // cannot be picked in the views (a backdrop)
constexpr Int32 NBIT_LOCKED = 75;         // the user cannot edit it in the views

enum COPYFLAGS : Int32 {
  COPYFLAGS_0 = 0,
  COPYFLAGS_NO_HIERARCHY = 4,
  COPYFLAGS_NO_ANIMATION = 8,
  COPYFLAGS_NO_BITS = 16,
};

// Messages a node receives (C4DAtom::Message).
constexpr Int32 MSG_UPDATE = 5;
// A user changed a parameter in the attribute view: sent to the tags of the object whose
// parameter changed, or to the tag whose parameter changed.
constexpr Int32 MSG_DESCRIPTION_POSTSETPARAMETER = 31;

// What GetDirty counts.
enum DIRTYFLAGS : Int32 {
  DIRTYFLAGS_0 = 0,
  DIRTYFLAGS_DATA = 2,  // the node's data changed: MSG_UPDATE, SetParameter, SetDirty, undo
};

class GeListNode {
 public:
  GeListNode();
  virtual ~GeListNode();
  GeListNode(const GeListNode&) = delete;
  GeListNode& operator=(const GeListNode&) = delete;

  GeListNode* GetNext() const { return next_; }
  GeListNode* GetPred() const { return prev_; }
  GeListNode* GetUp() const { return up_; }
  GeListNode* GetDown() const { return down_; }
  GeListNode* GetDownLast() const;

  // Unlinks the node; the caller owns it afterwards.
  void Remove();
  // The node must be unlinked (Remove) before it is inserted again.
  void InsertBefore(GeListNode* bl);
  void InsertAfter(GeListNode* bl);
  void InsertUnder(GeListNode* parent);
  void InsertUnderLast(GeListNode* parent);

  // The list head that the node's chain hangs from, or nullptr.
  GeListHead* GetListHead() const;
  // Host-wide identity of this node; 0 never names a node.
  UInt64 GetSerial() const { return serial_; }
  // The node with that identity while it exists.
  static GeListNode* FindBySerial(UInt64 serial);

  virtual Int32 GetType() const { return 0; }
  virtual Bool IsInstanceOf(Int32 type) const { return type == GetType(); }
  virtual Bool IsListHead() const { return false; }
  virtual Bool Message(Int32 type, void* data = nullptr);
  // The document the node lives in, or nullptr.
  virtual BaseDocument* GetDocument() const;

 private:
  GeListNode* next_ = nullptr;
  GeListNode* prev_ = nullptr;
  GeListNode* up_ = nullptr;
  GeListNode* down_ = nullptr;
  UInt64 serial_;
};

// Root of a node list (objects of a document, tags or tracks of an object, keys of a curve).
class GeListHead : public GeListNode {
 public:
  explicit GeListHead(BaseList2D* owner) : owner_(owner) {}
  Bool IsListHead() const override { return true; }
  GeListNode* GetFirst() const { return GetDown(); }
  GeListNode* GetLast() const { return GetDownLast(); }
  void Insert(GeListNode* node, GeListNode* parent, GeListNode* pred);
  BaseList2D* GetMain() const { return owner_; }
  BaseDocument* GetDocument() const override;

 private:
  BaseList2D* owner_;
};

// Captured data of a node, restored by undo.
class NodeState {
 public:
  virtual ~NodeState() = default;
};

class BaseList2D : public GeListNode {
 public:
  explicit BaseList2D(Int32 type);
  ~BaseList2D() override;

  Int32 GetType() const override { return type_; }

  // MSG_UPDATE counts as a data change.
  Bool Message(Int32 type, void* data = nullptr) override;
  // How often the node's data changed; grows with each change, never goes back.
  UInt32 GetDirty(DIRTYFLAGS flags) const { return flags & DIRTYFLAGS_DATA ? dataDirty_ : 0; }
  void SetDirty(DIRTYFLAGS flags) {
    if (flags & DIRTYFLAGS_DATA) ++dataDirty_;
  }
  // Our host: how many MSG_UPDATE messages the node received.
  UInt32 UpdateMessages() const { return updates_; }

  String GetName() const { return name_; }
  void SetName(const String& name) { name_ = name; }

  BaseContainer* GetDataInstance() { return &data_; }
  const BaseContainer* GetDataInstance() const { return &data_; }
  BaseContainer GetData() const { return data_; }
  void SetData(const BaseContainer& bc) { data_ = bc; }

  // Parameters live in the data container unless the node says otherwise; setting one is a
  // data change (GetDirty).
  virtual Bool GetParameter(Int32 id, GeData& t_data) const;
  virtual Bool SetParameter(Int32 id, const GeData& t_data);
  // The same by description identifier of one level; parts of a parameter are not kept here.
  Bool GetParameter(const DescID& id, GeData& t_data, DESCFLAGS_GET flags) const;
  Bool SetParameter(const DescID& id, const GeData& t_data, DESCFLAGS_SET flags);

  Bool GetBit(Int32 mask) const { return (bits_ & mask) != 0; }
  void SetBit(Int32 mask) { bits_ |= mask; }
  void DelBit(Int32 mask) { bits_ &= ~mask; }
  Int32 GetAllBits() const { return bits_; }
  Bool GetNBit(Int32 bit) const { return nbits_.count(bit) != 0; }
  void ChangeNBit(Int32 bit, Bool on) { on ? (void)nbits_.insert(bit) : (void)nbits_.erase(bit); }

  // Plug-in data of a node made by a registered plug-in, or nullptr.
  NodeData* GetNodeData() const { return nodeData_.get(); }
  void SetNodeData(std::unique_ptr<NodeData> data);

  // The node that owns the list this node hangs in (a tag's object), or nullptr.
  BaseList2D* GetMain() const;

  // A copy of the node; hierarchy (children, tags, tracks) unless COPYFLAGS_NO_HIERARCHY.
  BaseList2D* GetClone(Int32 flags, AliasTrans* trans) const;

  // Undo support: the node's data, and putting it back.
  virtual std::unique_ptr<NodeState> SaveState() const;
  virtual void RestoreState(const NodeState& state);

 protected:
  // A new node of the same kind, without data.
  virtual BaseList2D* AllocSame() const;
  // Copies own data (not hierarchy) into dest, which is of the same kind.
  virtual void CopyDataTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const;
  // Copies the hierarchy below this node (children, tags ...) into dest.
  virtual void CopyHierarchyTo(BaseList2D* dest, Int32 flags, AliasTrans* trans) const;
  // The copy of the node that a state from BaseList2D::SaveState holds.
  static BaseList2D* StateNode(NodeState& state);

 private:
  Int32 type_;
  String name_;
  BaseContainer data_;
  Int32 bits_ = 0;
  std::set<Int32> nbits_;
  std::unique_ptr<NodeData> nodeData_;
  UInt32 dataDirty_ = 0;
  UInt32 updates_ = 0;
};

// Translates links between originals and clones; kept for the clone interface.
class AliasTrans {
 public:
  static AliasTrans* Alloc() { return new AliasTrans(); }
  static void Free(AliasTrans*& t) {
    delete t;
    t = nullptr;
  }
  Bool Init(const BaseDocument*) { return true; }
  void Translate(Bool) {}
};
