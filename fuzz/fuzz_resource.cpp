// The resource reader on arbitrary text: statements that parse are written back in the resource
// syntax and must parse into the same statements; symbol headers never crash the reader. Every
// refusal names the file and, for a syntax error, the line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/resource_file.h"

namespace {

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::abort();
}

void Write(const std::vector<hostrt::ResNode>& nodes, std::string& out) {
  for (const hostrt::ResNode& n : nodes) {
    out += n.keyword;
    for (const hostrt::ResToken& a : n.args) {
      out += ' ';
      if (a.kind != hostrt::ResToken::Text) {
        out += a.text;
        continue;
      }
      out += '"';
      for (char c : a.text) {
        if (c == '"' || c == '\\')
          out += std::string("\\") + c;
        else if (c == '\n')
          out += "\\n";
        else if (c == '\t')
          out += "\\t";
        else
          out += c;
      }
      out += '"';
    }
    if (n.hasBlock) {
      out += " {\n";
      Write(n.children, out);
      out += "}\n";
    } else {
      out += ";\n";
    }
  }
}

bool Same(const std::vector<hostrt::ResNode>& a, const std::vector<hostrt::ResNode>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].keyword != b[i].keyword || a[i].hasBlock != b[i].hasBlock ||
        a[i].args.size() != b[i].args.size() || !Same(a[i].children, b[i].children))
      return false;
    for (size_t k = 0; k < a[i].args.size(); ++k)
      if (a[i].args[k].kind != b[i].args[k].kind || a[i].args[k].text != b[i].args[k].text)
        return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  hostrt::ResError error;
  auto nodes = hostrt::ParseResource(text, "fuzz.res", error);
  if (!nodes) {
    if (error.file != "fuzz.res" || error.line < 1 || error.message.empty())
      Broken("a syntax error without file, line or reason: " + error.ToString());
  } else {
    std::string again;
    Write(*nodes, again);
    hostrt::ResError error2;
    auto back = hostrt::ParseResource(again, "again.res", error2);
    if (!back) Broken("written statements do not parse: " + error2.ToString());
    if (!Same(*nodes, *back)) Broken("written statements parse differently");
  }
  hostrt::ResError symError;
  if (!hostrt::ParseSymbols(text, "fuzz.h", symError) &&
      (symError.file != "fuzz.h" || symError.line < 1 || symError.message.empty()))
    Broken("a symbol error without file, line or reason: " + symError.ToString());
  return 0;
}
