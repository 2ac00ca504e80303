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
)";

}  // namespace pelterra
