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

# The UV mesh: the cylinder's UVs as a flat mesh (UV size 2, the cylinder's width) that is edited
# like geometry; its transfer tag writes the edits back when the scene is evaluated.
open builtin:cylinder
tag uvw
command ID_UVCOMMAND
choose 10071 "Scale&Rotate"
click IDC_CREATE_UVMESH
expect changed
print objects
# Drag the four points of the mesh's first polygon (a side quad) 0.25 to the right: 0.125 in u.
object Cylinder_UVmesh
mode points
select points 0-3
move points 0.25 0 0
evaluate
object Cylinder
expect uv 0 a 0.125 0.4375
expect uv 0 d 0.25 0.4375
preview cylinder-uvs.png
# The view from the front: the mesh, its backdrop plane and the white outline of the UV square.
draw cylinder-view.png
expect lines 4
)";

}  // namespace pelterra
