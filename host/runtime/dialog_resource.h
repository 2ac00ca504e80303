// Builds a dialog layout of a resource (res/dialogs/NAME.res) into a dialog through its public
// layout calls. See docs/resources.md, "Dialogs", for the statements it understands.
#pragma once

#include "c4d_gui.h"
#include "c4d_resource.h"
#include "runtime/resource_file.h"

namespace hostrt {

// Adds the content of dialog layout id from res to the group that dlg has open. False for an
// unknown id or a statement that is not understood; error then says why and names the file
// line. Groups opened on the way are closed again, so the dialog stays usable after a failure.
bool BuildDialogResource(GeDialog& dlg, const GeResource& res, Int32 id, String* error = nullptr);

}  // namespace hostrt
