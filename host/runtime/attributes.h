// The attribute view: a node's parameters as the host's attribute manager shows them, built from
// the node's description (GetDDescription) and enabling (GetDEnabling), and a user's change of
// one of them.
#pragma once

#include <vector>

#include "c4d_basecontainer.h"
#include "c4d_baselist.h"
#include "c4d_description.h"
#include "c4d_string.h"

namespace hostrt {

struct AttributeRow {
  Int32 id = 0;
  Int32 type = 0;  // DTYPE_...
  String ident, label;
  bool enabled = true;
  GeData value;
  BaseContainer props;  // DESC_MIN, DESC_MAX ...
};

// The parameters the view shows for node, in description order: hidden ones and groups left
// out, each with its value and whether it is enabled. A plug-in node describes itself; host
// objects show their colour, X-ray and position (a plane also its size, segments and axis),
// the display tag its two settings, other host tags nothing. False with error when a plug-in
// node's description cannot be loaded.
bool AttributeView(BaseList2D* node, std::vector<AttributeRow>& rows, String& error);

// A row's value as the view prints it: a whole number, a number, "on"/"off", "(x, y, z)", a
// linked node's name in doc ("none" when the link is empty or its node is gone), or the text.
String AttributeText(const AttributeRow& row, const BaseDocument* doc);

// The user types text into parameter id of node. Refused (false, error says why, nothing
// changes) when the view does not show the parameter or shows it disabled, when it is a link,
// or when text does not fit its type: a whole number, a finite number, on/off, or three
// numbers "x,y,z" for a vector. Numbers outside the parameter's range are clamped, with a
// warning. The change is one undo step in doc; then MSG_DESCRIPTION_POSTSETPARAMETER goes to
// every tag of an object whose parameter changed, or to the tag whose parameter changed.
bool SetAttribute(BaseDocument* doc, BaseList2D* node, Int32 id, const String& text, String& error,
                  String* warning = nullptr);

}  // namespace hostrt
