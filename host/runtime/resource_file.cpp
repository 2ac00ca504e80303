#include "runtime/resource_file.h"

#ifdef _WIN32
#include "runtime/file_system.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>
#include <string>

namespace hostrt {

const ResNode* ResNode::Find(const String& kw) const {
  for (const ResNode& c : children)
    if (c.keyword == kw) return &c;
  return nullptr;
}

String ResError::ToString() const {
  std::ostringstream s;
  s << file;
  if (line > 0) s << ":" << line;
  s << ": " << message;
  return s.str();
}

bool ReadTextFile(const String& path, String& out, String* why) {
#ifdef _WIN32
  std::string text, reason;
  if (!ReadRegularFile(path, text, reason)) {
    if (why) *why = reason.starts_with("not a regular file") ? String("not a regular file") : reason;
    return false;
  }
  out = std::move(text);
  return true;
#else
  auto fail = [&](const String& reason) {
    if (why) *why = reason;
    return false;
  };
  // Only regular files: a FIFO would block, a device never end. Devices are not even opened.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail("not a regular file");
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(std::strerror(errno));
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("not a regular file");
  }
  String text;
  char buf[1 << 14];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return fail(std::strerror(err));
    }
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  out = std::move(text);
  return true;
#endif
}

namespace {

// A character as an error message shows it: printable ones quoted, others by their code.
String Shown(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return String("'") + c + "'";
  static const char hex[] = "0123456789abcdef";
  return String("byte 0x") + hex[u >> 4] + hex[u & 0xF];
}

struct Lexeme {
  enum Kind { Word, Number, Text, Semi, Open, Close, Comma, Equals, End } kind;
  String text;
  Int32 line;
};

class Lexer {
 public:
  Lexer(const String& text, const String& file, ResError& err) : s_(text), file_(file), err_(err) {}

  bool Next(Lexeme& out) {
    SkipSpace();
    if (failed_) return false;
    out.line = line_;
    if (i_ >= s_.size()) {
      out.kind = Lexeme::End;
      return true;
    }
    char c = s_[i_];
    switch (c) {
      case ';':
        ++i_;
        out.kind = Lexeme::Semi;
        return true;
      case '{':
        ++i_;
        out.kind = Lexeme::Open;
        return true;
      case '}':
        ++i_;
        out.kind = Lexeme::Close;
        return true;
      case ',':
        ++i_;
        out.kind = Lexeme::Comma;
        return true;
      case '=':
        ++i_;
        out.kind = Lexeme::Equals;
        return true;
      case '"':
        return ReadText(out);
      default:
        break;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      size_t j = i_ + 1;
      while (j < s_.size() &&
             (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '.' ||
              ((s_[j] == '-' || s_[j] == '+') && (s_[j - 1] == 'e' || s_[j - 1] == 'E'))))
        ++j;
      out.kind = Lexeme::Number;
      out.text = s_.substr(i_, j - i_);
      i_ = j;
      return true;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#') {
      size_t j = i_ + 1;
      while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_'))
        ++j;
      out.kind = Lexeme::Word;
      out.text = s_.substr(i_, j - i_);
      i_ = j;
      return true;
    }
    return Fail("unexpected character " + Shown(c));
  }

  bool Fail(const String& msg) {
    if (!failed_) err_ = ResError{file_, line_, msg};
    failed_ = true;
    return false;
  }
  Int32 Line() const { return line_; }

 private:
  void SkipSpace() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
      } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '/') {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '*') {
        size_t end = s_.find("*/", i_ + 2);
        if (end == String::npos) {
          Fail("unterminated comment");
          i_ = s_.size();
          return;
        }
        for (size_t k = i_; k < end; ++k)
          if (s_[k] == '\n') ++line_;
        i_ = end + 2;
      } else {
        return;
      }
    }
  }

  bool ReadText(Lexeme& out) {
    String t;
    ++i_;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\n') return Fail("line break inside a text");
      if (c == '\\' && i_ < s_.size()) {
        char e = s_[i_++];
        switch (e) {
          case 'n':
            t += '\n';
            break;
          case 't':
            t += '\t';
            break;
          case '"':
            t += '"';
            break;
          case '\\':
            t += '\\';
            break;
          default:
            return Fail("unknown escape " + Shown(e) + " after a backslash");
        }
      } else {
        t += c;
      }
    }
    if (i_ >= s_.size()) return Fail("unterminated text");
    ++i_;
    out.kind = Lexeme::Text;
    out.text = t;
    return true;
  }

  const String& s_;
  String file_;
  ResError& err_;
  size_t i_ = 0;
  Int32 line_ = 1;
  bool failed_ = false;
};

class Parser {
 public:
  Parser(Lexer& lex) : lex_(lex) {}

  // Blocks nest at most this deep: deeper nesting is refused before it can exhaust the stack.
  static constexpr int kMaxDepth = 256;

  bool ParseBlock(std::vector<ResNode>& out, int depth) {
    const bool nested = depth > 0;
    for (;;) {
      Lexeme t;
      if (!lex_.Next(t)) return false;
      if (t.kind == Lexeme::End) return nested ? lex_.Fail("missing '}'") : true;
      if (t.kind == Lexeme::Close) return nested ? true : lex_.Fail("unexpected '}'");
      if (t.kind == Lexeme::Semi) continue;
      // Numbers start statements too: string tables may key texts by identifier.
      if (t.kind != Lexeme::Word && t.kind != Lexeme::Number)
        return lex_.Fail("expected a keyword");
      ResNode node;
      node.keyword = t.text;
      node.line = t.line;
      for (;;) {
        Lexeme a;
        if (!lex_.Next(a)) return false;
        if (a.kind == Lexeme::Semi) break;
        if (a.kind == Lexeme::Open) {
          node.hasBlock = true;
          if (depth + 1 > kMaxDepth)
            return lex_.Fail("blocks nested more than " + std::to_string(kMaxDepth) + " deep");
          if (!ParseBlock(node.children, depth + 1)) return false;
          break;
        }
        if (a.kind == Lexeme::Comma) continue;
        if (a.kind == Lexeme::Word)
          node.args.push_back({ResToken::Word, a.text});
        else if (a.kind == Lexeme::Number)
          node.args.push_back({ResToken::Number, a.text});
        else if (a.kind == Lexeme::Text)
          node.args.push_back({ResToken::Text, a.text});
        else
          return lex_.Fail("expected ';' after '" + node.keyword + "'");
      }
      out.push_back(std::move(node));
    }
  }

 private:
  Lexer& lex_;
};

bool ToInt(const String& s, Int32& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e;
}

}  // namespace

std::optional<std::vector<ResNode>> ParseResource(const String& text, const String& fileName,
                                                  ResError& error) {
  Lexer lex(text, fileName, error);
  Parser p(lex);
  std::vector<ResNode> nodes;
  if (!p.ParseBlock(nodes, 0)) return std::nullopt;
  return nodes;
}

std::optional<std::vector<ResNode>> ParseResourceFile(const String& path, ResError& error) {
  String text, why;
  if (!ReadTextFile(path, text, &why)) {
    error = ResError{path, 0, "cannot be read: " + why};
    return std::nullopt;
  }
  return ParseResource(text, path, error);
}

std::optional<std::map<String, Int32>> ParseSymbols(const String& text, const String& fileName,
                                                    ResError& error) {
  std::map<String, Int32> out;
  std::istringstream in(text);
  String line;
  Int32 n = 0;
  while (std::getline(in, line)) {
    ++n;
    auto cut = line.find("//");
    if (cut != String::npos) line.resize(cut);
    // NAME = VALUE, or #define NAME VALUE
    std::istringstream ls(line);
    String a, b, c;
    ls >> a;
    if (a == "#define") {
      ls >> b >> c;
      Int32 v;
      if (b.empty() || !ToInt(c, v)) {
        error = ResError{fileName, n, "bad #define"};
        return std::nullopt;
      }
      out[b] = v;
      continue;
    }
    auto eq = line.find('=');
    if (eq == String::npos) continue;
    String name = line.substr(0, eq), value = line.substr(eq + 1);
    auto trim = [](String s) {
      const char* ws = " \t\r,;{}";
      s.erase(0, s.find_first_not_of(ws));
      auto e = s.find_last_not_of(ws);
      s.erase(e == String::npos ? 0 : e + 1);
      return s;
    };
    name = trim(name);
    value = trim(value);
    auto sp = name.find_last_of(" \t{");
    if (sp != String::npos) name = name.substr(sp + 1);
    Int32 v;
    if (name.empty() || !ToInt(value, v)) {
      error = ResError{fileName, n, "expected NAME = number"};
      return std::nullopt;
    }
    if (out.count(name)) {
      error = ResError{fileName, n, "symbol " + name + " defined twice"};
      return std::nullopt;
    }
    out[name] = v;
  }
  return out;
}

}  // namespace hostrt
