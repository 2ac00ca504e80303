// UV list files: the UVs of an object saved as an ASCII or a binary list, and loaded back.
#pragma once

#include "UVtoolsRegistry.h"

Bool SaveUVlistAscii();
Bool SaveUVlistBinary();
Bool LoadUVlist();
