#include "c4d_hyperfile.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace {

// Layout (docs/formats.md): header, values, end record. Numbers are little-endian.
constexpr unsigned char kMagic[8] = {0x89, 'P', 'H', 'F', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr UInt32 kVersion = 1;
constexpr size_t kHeaderSize = 16;  // magic, version (u16), flags (u16), identifier (i32)
constexpr size_t kEndSize = 13;     // end mark, file length (u64), CRC-32 (u32)
constexpr int kMaxDepth = 64;       // containers within containers

enum Type : unsigned char {
  kNil = 0,
  kInt32 = 1,
  kInt64 = 2,
  kFloat = 3,
  kVector = 4,
  kMatrix = 5,
  kString = 6,
  kContainer = 7,
  kTime = 8,
  kEnd = 0xFF,
};

UInt32 Crc(UInt32 crc, const void* data, size_t len) {
  return static_cast<UInt32>(crc32_z(crc, static_cast<const Bytef*>(data), len));
}

// --- writing ---

// Whether every value of c (and of the containers in it) has a type code.
Bool Writable(const BaseContainer& c, int depth) {
  if (depth > kMaxDepth) return false;
  for (Int32 i = 0; i < c.GetCount(); ++i) {
    const GeData& d = *c.GetIndexData(i);
    switch (d.GetType()) {
      case DA_NIL:
      case DA_LONG:
      case DA_LLONG:
      case DA_REAL:
      case DA_VECTOR:
      case DA_MATRIX:
      case DA_STRING:
      case DA_TIME:
        break;
      case DA_CONTAINER:
        if (!Writable(*d.GetContainer(), depth + 1)) return false;
        break;
      default:
        return false;
    }
  }
  return true;
}

// Collects bytes and hands them on in blocks.
class Encoder {
 public:
  explicit Encoder(std::function<Bool(const void*, size_t)> sink) : sink_(std::move(sink)) {}
  Bool Finish() {
    Flush();
    return ok_;
  }

  void U8(unsigned char v) { Put(&v, 1); }
  void U32(UInt32 v) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    Put(b, 4);
  }
  void U64(UInt64 v) {
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    Put(b, 8);
  }
  void F64(Float v) { U64(std::bit_cast<UInt64>(v)); }
  void Vec(const Vector& v) {
    F64(v.x);
    F64(v.y);
    F64(v.z);
  }

  void Value(const GeData& d) {
    switch (d.GetType()) {
      case DA_LONG:
        U8(kInt32);
        U32(static_cast<UInt32>(d.GetInt32()));
        break;
      case DA_LLONG:
        U8(kInt64);
        U64(static_cast<UInt64>(d.GetInt64()));
        break;
      case DA_REAL:
        U8(kFloat);
        F64(d.GetFloat());
        break;
      case DA_VECTOR:
        U8(kVector);
        Vec(d.GetVector());
        break;
      case DA_MATRIX: {
        const Matrix m = d.GetMatrix();
        U8(kMatrix);
        Vec(m.off);
        Vec(m.v1);
        Vec(m.v2);
        Vec(m.v3);
        break;
      }
      case DA_STRING: {
        const String s = d.GetString();
        U8(kString);
        U32(static_cast<UInt32>(s.size()));
        Put(s.data(), s.size());
        break;
      }
      case DA_TIME: {
        const BaseTime t = d.GetTime();
        U8(kTime);
        F64(t.GetNumerator());
        F64(t.GetDenominator());
        break;
      }
      case DA_CONTAINER:
        Container(*d.GetContainer());
        break;
      default:
        U8(kNil);
        break;
    }
  }

  void Container(const BaseContainer& c) {
    U8(kContainer);
    U32(static_cast<UInt32>(c.GetId()));
    U32(static_cast<UInt32>(c.GetCount()));
    for (Int32 i = 0; i < c.GetCount(); ++i) {
      U32(static_cast<UInt32>(c.GetIndexId(i)));
      Value(*c.GetIndexData(i));
    }
  }

 private:
  void Put(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    while (n > 0) {
      const size_t k = std::min(n, buf_.size() - used_);
      std::memcpy(buf_.data() + used_, b, k);
      used_ += k;
      b += k;
      n -= k;
      if (used_ == buf_.size()) Flush();
    }
  }
  void Flush() {
    if (used_ > 0 && ok_) ok_ = sink_(buf_.data(), used_);
    used_ = 0;
  }

  std::function<Bool(const void*, size_t)> sink_;
  std::vector<unsigned char> buf_ = std::vector<unsigned char>(65536);
  size_t used_ = 0;
  Bool ok_ = true;
};

// --- reading ---

// Reads values from a checked byte range; every read is bounded by the range.
class Decoder {
 public:
  Decoder(const unsigned char* p, size_t pos, size_t end) : p_(p), pos_(pos), end_(end) {}
  size_t Pos() const { return pos_; }
  size_t Left() const { return end_ - pos_; }

  Bool U8(unsigned char& v) {
    if (Left() < 1) return false;
    v = p_[pos_++];
    return true;
  }
  Bool U32(UInt32& v) {
    if (Left() < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<UInt32>(p_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  Bool U64(UInt64& v) {
    if (Left() < 8) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<UInt64>(p_[pos_ + i]) << (8 * i);
    pos_ += 8;
    return true;
  }
  Bool F64(Float& v) {
    UInt64 u = 0;
    if (!U64(u)) return false;
    v = std::bit_cast<Float>(u);
    return true;
  }
  Bool Vec(Vector& v) { return F64(v.x) && F64(v.y) && F64(v.z); }

  // One value whose type code was read already.
  Bool Value(unsigned char type, GeData& out, int depth) {
    switch (type) {
      case kNil:
        out = GeData();
        return true;
      case kInt32: {
        UInt32 v = 0;
        if (!U32(v)) return false;
        out = GeData(static_cast<Int32>(v));
        return true;
      }
      case kInt64: {
        UInt64 v = 0;
        if (!U64(v)) return false;
        out = GeData(static_cast<Int64>(v));
        return true;
      }
      case kFloat: {
        Float v = 0;
        if (!F64(v)) return false;
        out = GeData(v);
        return true;
      }
      case kVector: {
        Vector v;
        if (!Vec(v)) return false;
        out = GeData(v);
        return true;
      }
      case kMatrix: {
        Matrix m;
        if (!Vec(m.off) || !Vec(m.v1) || !Vec(m.v2) || !Vec(m.v3)) return false;
        out = GeData(m);
        return true;
      }
      case kString: {
        UInt32 n = 0;
        if (!U32(n) || n > Left()) return false;
        out = GeData(String(reinterpret_cast<const char*>(p_ + pos_), n));
        pos_ += n;
        return true;
      }
      case kTime: {
        Float num = 0, den = 0;
        if (!F64(num) || !F64(den)) return false;
        out = GeData(BaseTime(num, den));
        return true;
      }
      case kContainer: {
        BaseContainer c;
        if (!Container(c, depth + 1)) return false;
        out = GeData(c);
        return true;
      }
      default:
        return false;
    }
  }

  // A container whose type code was read already. An identifier that comes twice is damage.
  Bool Container(BaseContainer& c, int depth) {
    UInt32 id = 0, count = 0;
    if (depth > kMaxDepth || !U32(id) || !U32(count)) return false;
    // Each entry takes at least five bytes; a larger count cannot be true.
    if (count > Left() / 5) return false;
    c.SetId(static_cast<Int32>(id));
    c.Reserve(static_cast<Int32>(std::min<UInt32>(count, 1u << 20)));  // a count is not trusted
    for (UInt32 i = 0; i < count; ++i) {
      UInt32 key = 0;
      unsigned char type = 0;
      GeData value;
      if (!U32(key) || !U8(type) || !Value(type, value, depth)) return false;
      if (c.GetDataPointer(static_cast<Int32>(key))) return false;
      c.SetData(static_cast<Int32>(key), std::move(value));
    }
    return true;
  }

 private:
  const unsigned char* p_;
  size_t pos_, end_;
};

UInt32 ReadU32(const unsigned char* p) {
  return static_cast<UInt32>(p[0]) | static_cast<UInt32>(p[1]) << 8 |
         static_cast<UInt32>(p[2]) << 16 | static_cast<UInt32>(p[3]) << 24;
}

UInt64 ReadU64(const unsigned char* p) {
  return static_cast<UInt64>(ReadU32(p)) | static_cast<UInt64>(ReadU32(p + 4)) << 32;
}

}  // namespace

HyperFile* HyperFile::Alloc() {
  return new HyperFile();
}

void HyperFile::Free(HyperFile*& hf) {
  delete hf;
  hf = nullptr;
}

HyperFile::~HyperFile() {
  if (open_) Close();
}

void HyperFile::Fail(FILEERROR e) {
  if (error_ == FILEERROR_NONE) error_ = e;
}

Bool HyperFile::Emit(const void* data, size_t len) {
  if (!file_->WriteBytes(data, static_cast<Int64>(len))) {
    Fail(FILEERROR_WRITE);
    return false;
  }
  crc_ = Crc(crc_, data, len);
  written_ += len;
  return true;
}

Bool HyperFile::Open(Int32 ident, const Filename& name, FILEOPEN mode, FILEDIALOG errorDialog) {
  if (open_) Close();
  error_ = FILEERROR_NONE;
  mode_ = mode;
  written_ = 0;
  crc_ = Crc(0, nullptr, 0);
  std::vector<unsigned char>().swap(data_);
  pos_ = end_ = 0;

  BaseFile* f = BaseFile::Alloc();
  if (!f->Open(name, mode, errorDialog, BYTEORDER_INTEL)) {
    Fail(f->GetError());
    BaseFile::Free(f);
    return false;
  }

  if (mode == FILEOPEN_WRITE) {
    file_ = f;
    Encoder head([this](const void* p, size_t n) { return Emit(p, n); });
    for (unsigned char b : kMagic) head.U8(b);
    head.U8(static_cast<unsigned char>(kVersion));
    head.U8(0);
    head.U8(0);  // flags
    head.U8(0);
    head.U32(static_cast<UInt32>(ident));
    if (!head.Finish()) {
      BaseFile::Free(file_);  // after the failed write its Close removes what it wrote
      return false;
    }
    open_ = true;
    return true;
  }

  // Reading: the whole file, checked before any value is handed out.
  const Int64 length = f->GetLength();
  const Bool fits =
      length >= 0 && static_cast<UInt64>(length) <= std::numeric_limits<size_t>::max();
  try {
    if (fits) data_.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    Fail(FILEERROR_OUTOFMEMORY);
  }
  const Bool read =
      fits && error_ == FILEERROR_NONE && f->ReadBytes(data_.data(), length) == length;
  if (!read) Fail(f->GetError() != FILEERROR_NONE ? f->GetError() : FILEERROR_READ);
  f->Close();
  BaseFile::Free(f);
  if (!read) {
    std::vector<unsigned char>().swap(data_);
    return false;
  }

  const size_t n = data_.size();
  const unsigned char* p = data_.data();
  const Bool good = n >= kHeaderSize + kEndSize && std::memcmp(p, kMagic, sizeof kMagic) == 0 &&
                    static_cast<UInt32>(p[8] | p[9] << 8) == kVersion &&
                    ReadU32(p + 12) == static_cast<UInt32>(ident) && p[n - kEndSize] == kEnd &&
                    ReadU64(p + n - 12) == n &&
                    ReadU32(p + n - 4) == Crc(Crc(0, nullptr, 0), p, n - 4);
  if (!good) {
    Fail(FILEERROR_WRONG_VALUE);
    std::vector<unsigned char>().swap(data_);
    return false;
  }
  pos_ = kHeaderSize;
  end_ = n - kEndSize;
  open_ = true;
  return true;
}

Bool HyperFile::Close() {
  if (!open_) return false;
  open_ = false;
  if (mode_ == FILEOPEN_READ) {
    std::vector<unsigned char>().swap(data_);
    return true;
  }
  // Only a file written to its end without an error is put in place.
  Bool ok = error_ == FILEERROR_NONE;
  if (ok) {
    Encoder end([this](const void* p, size_t n) { return Emit(p, n); });
    end.U8(kEnd);
    end.U64(written_ + kEndSize);
    ok = end.Finish();
  }
  if (ok) {
    const UInt32 crc = crc_;
    Encoder sum(
        [this](const void* p, size_t n) { return file_->WriteBytes(p, static_cast<Int64>(n)); });
    sum.U32(crc);
    ok = sum.Finish();
  }
  if (!ok) file_->SetError(FILEERROR_WRITE);
  ok = file_->Close() && ok;
  if (!ok) Fail(FILEERROR_CLOSE);
  BaseFile::Free(file_);
  return ok;
}

Bool HyperFile::WriteContainer(const BaseContainer& c) {
  if (!open_ || mode_ != FILEOPEN_WRITE) {
    Fail(FILEERROR_WRITE);
    return false;
  }
  if (!Writable(c, 0)) {
    Fail(FILEERROR_WRONG_VALUE);
    return false;
  }
  Encoder enc([this](const void* p, size_t n) { return Emit(p, n); });
  enc.Container(c);
  return enc.Finish();
}

Bool HyperFile::ReadContainer(BaseContainer* c, Bool flush) {
  if (!open_ || mode_ != FILEOPEN_READ || !c) {
    Fail(FILEERROR_READ);
    return false;
  }
  Decoder dec(data_.data(), pos_, end_);
  unsigned char type = 0;
  if (!dec.U8(type)) {
    Fail(FILEERROR_FILE_END);
    return false;
  }
  BaseContainer read;
  if (type != kContainer || !dec.Container(read, 1)) {
    Fail(FILEERROR_WRONG_VALUE);
    return false;
  }
  pos_ = dec.Pos();
  if (flush) {
    *c = std::move(read);
    return true;
  }
  c->SetId(read.GetId());
  for (Int32 i = 0; i < read.GetCount(); ++i) c->SetData(read.GetIndexId(i), *read.GetIndexData(i));
  return true;
}
