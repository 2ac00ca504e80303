#include "demo.h"

namespace pelterra {

const char* const kDemoSession = R"(# Pelterra demo: the UV tools on a cube unwrapped into a cross.
open builtin:cube
print objects
preview cube-before.png

# The UV tools dialog, as a user opens it from the menu.
command 1024239
expect control 10120 label "EPS Size W:1024px H:1024px"
choose 10071 10074
expect control 10110 visible

# Select the cube's top and front faces in the UV editor.
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
command 1024239
choose 10071 10074
# Scale the small island by 1.5 about its own centre.
select uvpolygons 1
type 10062 1.5
type 10063 1.5
click 10065
expect uv 1 a 0.5625 0.4375
# Turn the other island by 30 degrees about its corner at UV point 0.
select uvpolygons 0 2
select uvpoints 0
type 10050 30
click 10051
expect uv 0 a 0.125 0.875
print uvs
preview islands-after.png
save islands.obj
)";

}  // namespace pelterra
