#include "printable.h"

namespace pelterra {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool Control(unsigned char c) {
  return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7F;
}

void Escape(std::string& out, unsigned char c, bool c1) {
  out += c1 ? "\\u00" : "\\x";
  out += kHex[c >> 4];
  out += kHex[c & 0xF];
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      Escape(out, next, true);
      ++i;
    } else if (Control(c)) {
      Escape(out, c, false);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool PrintableBuf::Put(unsigned char c) {
  auto put = [&](std::string_view s) {
    return to_->sputn(s.data(), static_cast<std::streamsize>(s.size())) ==
           static_cast<std::streamsize>(s.size());
  };
  if (lead_) {
    lead_ = false;
    if (c >= 0x80 && c <= 0x9F) {
      std::string e;
      Escape(e, c, true);
      return put(e);
    }
    if (!put("\xC2")) return false;
  }
  if (c == 0xC2) {
    lead_ = true;
    return true;
  }
  if (!Control(c)) return to_->sputc(static_cast<char>(c)) != traits_type::eof();
  std::string e;
  Escape(e, c, false);
  return put(e);
}

void PrintableBuf::Finish() {
  if (lead_) to_->sputc('\xC2');
  lead_ = false;
  to_->pubsync();
}

PrintableBuf::int_type PrintableBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  return Put(static_cast<unsigned char>(traits_type::to_char_type(c))) ? c : traits_type::eof();
}

std::streamsize PrintableBuf::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i)
    if (!Put(static_cast<unsigned char>(s[i]))) return i;
  return n;
}

}  // namespace pelterra
