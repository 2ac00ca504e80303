#include "demo.h"

namespace pelterra {

const char* const kDemoSession = R"(# Pelterra demo: the UV tools on a cube unwrapped into a cross.
# pelterra demo writes this session beside its pictures. Run it again, or a copy you changed:
#   pelterra run demo.session --out results/
# Controls go by identifier (10071), by symbol name from res/c4d_symbols.h (IDC_SCALE) or by
# label in quotes ("Scale&Rotate"); pelterra controls lists them all.
open builtin:cube
print objects
preview cube-before.png

# The UV tools dialog, as a user opens it from the menu.
command ID_UVCOMMAND
expect control 10120 label "EPS Size W:1024px H:1024px"
choose 10071 "Scale&Rotate"
expect control 10110 visible

# Select the cube's top and front faces in the UV editor; the picture shows the other faces
# lighter.
mode uvpolygons
select uvpolygons 0-1
print selection uvpolygons
preview cube-selected.png selected

save cube.obj
expect file cube.obj exists

# Island tools on three quads: polygons 0 and 2 form one UV island, polygon 1 another.
open builtin:islands
mode uvpolygons
preview islands-before.png
command ID_UVCOMMAND
choose 10071 "Scale&Rotate"
# Scale the small island by 1.5 about its own centre.
select uvpolygons 1
type IDC_SCALE_U 1.5
type IDC_SCALE_V 1.5
click IDC_SCALE
expect changed
expect uv 1 a 0.5625 0.4375
# Turn the other island by 30 degrees about its corner at UV point 0.
select uvpolygons 0 2
select uvpoints 0
type IDC_ANGLE 30
click IDC_ROTATE
expect uv 0 a 0.125 0.875
print uvs
# Undo takes the turn back, redo makes it again.
undo
expect uv 0 b 0.125 0.625
redo
expect uv 0 a 0.125 0.875
preview islands-after.png
save islands.obj

# UV Symmetry on a 4 x 4 grid: squeeze the right half (its inner columns to u = 0.7, its edge
# to u = 0.9), then mirror the left half back across the middle line u = 0.5.
open builtin:grid
command ID_UVCOMMAND
mode uvpoints
choose 10071 10073
tick IDC_SET_V_ON off
select uvpoints 10 11 12 13 26 27 28 29 42 43 44 45 58 59 60 61
type IDC_SET_U 0.7
click IDC_SET_UVW
select uvpoints 14 15 30 31 46 47 62 63
type IDC_SET_U 0.9
click IDC_SET_UVW
preview grid-squeezed.png
# First click: the left half's polygons. Second click: the UV points on the line.
choose 10071 10072
mode uvpolygons
select uvpolygons 0 1 4 5 8 9 12 13
click IDC_SYMMETRY_PICK
expect mode uvpoints
expect control IDC_SYMMETRY_PICK label "SetPoint 2 Symmetry"
select uvpoints 6 7 22 23 38 39 54 55
# Keep Face Neighbors: the corners of the outer column that sat on the mirrored column follow.
tick IDC_SYMMETRY_KEEP on
click IDC_SYMMETRY_PICK
expect changed
expect mode uvpolygons
expect uv 2 c 0.75 0.75
expect uv 3 a 0.75 1
expect uv 3 c 0.9 0.75
preview grid-mirrored.png

# Copy Shape: turn the small island of the islands scene by 30 degrees, then give it the other
# island's square shape back. Four presses of the step button pick the source polygons, points
# on one of their edges, the target polygons and points on the matching edge; the last copies.
open builtin:islands
command ID_UVCOMMAND
mode uvpolygons
choose 10071 "Scale&Rotate"
select uvpolygons 1
select uvpoints none
type IDC_ANGLE 30
click IDC_ROTATE
preview copy-shape-before.png
choose 10071 10072
select uvpolygons 0
click IDC_CS_STEP
select uvpoints 1 2
click IDC_CS_STEP
select uvpolygons 1
click IDC_CS_STEP
select uvpoints 5 6
click IDC_CS_STEP
expect uv 1 a 0.625 0.375
expect uv 1 c 0.875 0.125
preview copy-shape-after.png
)";

}  // namespace pelterra
