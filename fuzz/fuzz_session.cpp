// The session parser on arbitrary text: splitting lines into words and checking every line
// never crashes, and words written back in quotes split into the same words again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/host.h"
#include "session.h"

namespace {

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::abort();
}

std::string Quoted(const std::string& w) {
  std::string q = "\"";
  for (char c : w) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static hostrt::Host host;
  // No plug-ins: controls can then be named by number or label only, which the check accepts.
  pelterra::Session session(host, std::cout, pelterra::SessionOptions());
  std::istringstream in(text);
  const bool ok = session.Check(in, "fuzz.session");
  if (!ok && session.Error().empty()) Broken("a refused session gives no reason");

  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> words, again;
    std::vector<bool> quoted;
    std::string why;
    if (!pelterra::SplitWords(line, words, why, &quoted)) {
      if (why.empty()) Broken("a refused line gives no reason");
      continue;
    }
    if (quoted.size() != words.size()) Broken("one quoted flag per word");
    std::string joined;
    for (const std::string& w : words) joined += Quoted(w) + " ";
    if (!pelterra::SplitWords(joined, again, why) || again != words)
      Broken("quoted words do not split into the same words");
  }
  return 0;
}
