// Container files: containers written to and read from a file in the host's container file
// format (docs/formats.md), marked with a four-character identifier.
#pragma once

#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_file.h"

class HyperFile {
 public:
  static HyperFile* Alloc();
  // Closes the file (as Close) and frees it.
  static void Free(HyperFile*& hf);
  ~HyperFile();
  HyperFile(const HyperFile&) = delete;
  HyperFile& operator=(const HyperFile&) = delete;

  // Opens name for reading or writing, marked with ident (e.g. 'temp'). Reading checks the whole
  // file first and refuses one that is truncated or damaged, carries another identifier or comes
  // from a newer format version (error FILEERROR_WRONG_VALUE). Writing replaces the named file
  // only when Close succeeds, as BaseFile does.
  Bool Open(Int32 ident, const Filename& name, FILEOPEN mode, FILEDIALOG errorDialog);
  // Writing: ends the file and puts it in place. False when something failed since Open.
  Bool Close();

  // Appends the container with its entries (and the containers within them). A value the format
  // cannot hold (a link, custom data) fails the call with FILEERROR_WRONG_VALUE and writes nothing.
  Bool WriteContainer(const BaseContainer& c);
  // Reads the next value of the file, which must be a container. With flush the container's
  // entries are replaced, otherwise the read ones are added to them. On failure c is unchanged.
  Bool ReadContainer(BaseContainer* c, Bool flush);

  FILEERROR GetError() const { return error_; }

 private:
  HyperFile() = default;
  void Fail(FILEERROR e);
  Bool Emit(const void* data, size_t len);

  BaseFile* file_ = nullptr;  // writing
  FILEOPEN mode_ = FILEOPEN_READ;
  FILEERROR error_ = FILEERROR_NONE;
  UInt64 written_ = 0;
  UInt32 crc_ = 0;                   // writing: checksum of the bytes so far
  std::vector<unsigned char> data_;  // reading: the whole checked file
  size_t pos_ = 0, end_ = 0;         // reading: next value, end of the values
  Bool open_ = false;
};
