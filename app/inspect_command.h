// `pelterra inspect`: the UV layout report of OBJ files, with limits a pipeline can gate on.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pelterra {

extern const char* const kInspectHelp;

// args: the words after "inspect". Exit code 0 within the limits, 1 a limit exceeded, 2 a file
// could not be inspected or the arguments are wrong.
int InspectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pelterra
