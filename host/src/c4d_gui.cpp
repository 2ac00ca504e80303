#include "c4d_gui.h"

GeDialog::~GeDialog() = default;
