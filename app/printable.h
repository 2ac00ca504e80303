// Text from files (object names, words of a session, paths) printed to a terminal: control
// characters are escaped, so that a file cannot move the cursor, clear the screen or retitle the
// window of the user who looks at it.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace pelterra {

// text with every control character but line feed and tab written as \xHH (C1 controls, which
// UTF-8 writes as two bytes, as \u00HH). Printable text comes back unchanged.
std::string Printable(std::string_view text);

// A stream buffer that passes what it is given on to another, escaped as Printable does.
class PrintableBuf : public std::streambuf {
 public:
  explicit PrintableBuf(std::streambuf* to) : to_(to) {}
  // Passes on a byte still held back (the first of two), at the end of the output.
  void Finish();

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override { return to_->pubsync(); }

 private:
  bool Put(unsigned char c);
  std::streambuf* to_;
  bool lead_ = false;  // the last byte was 0xC2, the first of a possible C1 control
};

}  // namespace pelterra
