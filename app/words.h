// The numbers a user writes in sessions and dialog actions.
#pragma once

#include <string>

#include "c4d_general.h"

namespace pelterra {

// A whole number, the whole word and nothing else.
bool ToInt(const std::string& s, Int32& v);
// A finite number, the whole word, with an optional leading '+'.
bool ToFloat(const std::string& s, Float& v);

}  // namespace pelterra
