// Host text type.
#pragma once

#include <string>

#include "ge_math.h"

using String = std::string;
