// Registration functions of the plug-ins, called in order at start.
#pragma once

#include "c4d_general.h"

Bool RegisterUVCommand();
Bool RegisterAuvTrack();
Bool RegisterAniUVCommand();
Bool RegisterTransferTAG();
