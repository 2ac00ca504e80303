#include "UVListing.h"

#include <algorithm>
#include <cmath>

#include "UVFunction.h"
#include "c4d_basedocument.h"
#include "c4d_general.h"
#include "c4d_painter.h"
#include "c4d_symbols.h"

namespace {

const char* const kLabels[4] = {"A:0 [", "B:1 [", "C:2 [", "D:3 ["};
const String kGroupEnd = String(49, '-') + "\n";

// Grid cells a little wider than the tolerance: a pair closer than it lies in neighbouring
// cells even when the distance rounds down.
constexpr Float kCell = 1.1 * kUVPointTolerance;
constexpr Float kCellLimit = 1073741824.0;  // far positions share the outermost cells

Int64 CellOf(Float x) {
  return static_cast<Int64>(std::clamp(std::floor(x / kCell), -kCellLimit, kCellLimit));
}

UInt64 CellKey(Int64 cu, Int64 cv) {
  return static_cast<UInt64>(cu + (Int64(1) << 31)) << 32 |
         static_cast<UInt64>(cv + (Int64(1) << 31));
}

void AppendPoint(String& out, const UVPointEntry& e) {
  out += "Polygon No. ";
  out += FormatInt(e.polygon);
  out += "\nPoint No. ";
  out += kLabels[e.corner & 3];
  out += " U=";
  out += FormatFloat(e.uv.x);
  out += " / V=";
  out += FormatFloat(e.uv.y);
  out += " ]\n";
}

}  // namespace

String UVPointListing(const std::vector<UVPointEntry>& entries) {
  // (cell, entry) for every finite position, by cell and then by entry. A position that is not
  // finite is near nothing.
  std::vector<std::pair<UInt64, Int32>> cells;
  cells.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const Vector& p = entries[i].uv;
    if (Finite(p)) cells.emplace_back(CellKey(CellOf(p.x), CellOf(p.y)), static_cast<Int32>(i));
  }
  std::sort(cells.begin(), cells.end());

  String out;
  std::vector<char> listed(entries.size(), 0);
  std::vector<Int32> near;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (listed[i]) continue;
    const UVPointEntry& start = entries[i];
    AppendPoint(out, start);
    near.clear();
    if (Finite(start.uv)) {
      const Int64 u0 = CellOf(start.uv.x - kCell), u1 = CellOf(start.uv.x + kCell);
      const Int64 v0 = CellOf(start.uv.y - kCell), v1 = CellOf(start.uv.y + kCell);
      for (Int64 cu = u0; cu <= u1; ++cu) {
        for (Int64 cv = v0; cv <= v1; ++cv) {
          const UInt64 key = CellKey(cu, cv);
          // Only the later entries of the cell.
          auto it = std::lower_bound(cells.begin(), cells.end(),
                                     std::make_pair(key, static_cast<Int32>(i) + 1));
          for (; it != cells.end() && it->first == key; ++it)
            if (UVCoincident(start.uv, entries[static_cast<size_t>(it->second)].uv))
              near.push_back(it->second);
        }
      }
      std::sort(near.begin(), near.end());
    }
    for (Int32 j : near) {
      AppendPoint(out, entries[static_cast<size_t>(j)]);
      listed[static_cast<size_t>(j)] = 1;
    }
    out += kGroupEnd;
    listed[i] = 1;
  }
  return out;
}

Bool ListUVPoints(ToolDialog& dlg) {
  UVToolScope scope({.mode = Muvpoints,
                     .wrongMode = "Please change the UV point mode.",
                     .uvParts = GETACTIVEUVSET_UVWS});
  if (!scope.Ok()) return false;
  std::vector<UVPointEntry> entries;
  const ConstUVWHandle h = scope.Tag()->GetDataAddressR();
  for (const UVPointRef& r : scope.SelectedUVPoints()) {
    UVWStruct s;
    UVWTag::Get(h, r.polygon, s);
    entries.push_back({s[r.corner], r.polygon, r.corner});
  }
  if (entries.empty()) {
    MessageDialog("Please select a UV point.");
    return false;
  }
  dlg.SetString(IDC_LIST_TEXT, UVPointListing(entries));
  EventAdd();
  return true;
}

namespace {

void ListingCommand(ToolDialog& dlg, Int32) {
  ListUVPoints(dlg);
}

const bool registered = RegisterToolGroup(ToolGroup<>{
    .name = "UV point listing",
    .controls = {IDC_LIST},
    .command = ListingCommand,
});

}  // namespace
