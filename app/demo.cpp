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

# Quick Grid on a cylinder whose side strip waves in UV. Pick edge a-b of the first side quad
# (UV points 0 and 1): the strip becomes a grid whose cells are as long as their 3D edges, Square
# keeps its lines straight and Size Fit scales its width into the unit square.
open builtin:wavycylinder
preview wavycylinder-before.png
command ID_UVCOMMAND
choose 10071 "UV Function2"
mode uvpoints
select uvpoints 0 1
tick IDC_GRID_SQUARE on
tick IDC_GRID_SIZE_FIT on
click IDC_QUICK_GRID
expect changed
# 16 columns of 1/16 each; the 4 rows keep the picked edge's UV height 0.12, from v 0.6 to 0.12.
expect uv 0 a 0 0.6
expect uv 63 c 1 0.12
preview wavycylinder-after.png
save wavycylinder.obj
)";

}  // namespace pelterra
