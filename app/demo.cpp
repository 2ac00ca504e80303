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

# Point tools on a 4 x 4 grid. Capture two UV points as the centre, then align another pair
# along V through it; undo takes it back.
open builtin:grid
command ID_UVCOMMAND
choose IDC_TABS "UV Function2"
mode uvpoints
select uvpoints 2 60
click IDC_ALIGN_CAPTURE
expect control IDC_ALIGN_CAPTURE label Select:2
select uvpoints 20 21
click IDC_ALIGN_V
expect uv 5 a 0.5 0.75
expect uv 5 b 0.5 0.5
expect control IDC_ALIGN_CAPTURE label "Select UVpoints"
undo
expect uv 5 a 0.25 0.75
# Project two points onto the captured line, sliding them along u.
select uvpoints 2 60
click IDC_ALIGN_CAPTURE
select uvpoints 36 38
click IDC_PROJECT_U
expect uv 9 a 0.5 0.5
expect uv 9 c 0.75 0.25
preview grid-projected.png
# Turn a polygon's UVs round its corners and back.
choose IDC_TABS "UV Function1"
mode uvpolygons
select uvpolygons 0
click IDC_MOVE_POINT_LEFT
expect uv 0 a 0 0.75
click IDC_MOVE_POINT_RIGHT
expect uv 0 a 0 1

# Stitch: two islands joined at the midpoints of their facing edges.
open builtin:islands
command ID_UVCOMMAND
choose IDC_TABS "UV Function2"
mode uvpoints
select uvpoints 9 10
click IDC_STITCH_CAPTURE
expect control IDC_STITCH_CAPTURE label Select:2
select uvpoints 4 7
click IDC_STITCH_CENTER_V
expect uv 2 b 0.5 0.5
expect uv 1 d 0.75 0.5
preview islands-stitched.png

# Real area: the islands sized to their 3D area in metres (one scene unit is 1 m), then to a
# texture of 1024 px at 256 px per metre.
open builtin:islands
units 1 m
mode uvpolygons
command ID_UVCOMMAND
# The area mode's user factor is the first scale field, still 1.5 from above.
choose IDC_TABS "Scale&Rotate"
type IDC_SCALE_U 1
choose IDC_TABS "UV Function1"
select uvpolygons 0 1
tick IDC_RA_TEXTURE_MODE on
choose IDC_RA_UNIT IDC_RA_UNIT_M
tick IDC_RA_TEXTURE_MODE off
click IDC_RA_APPLY
expect uv 0 a -0.625 1.25
preview islands-realarea.png
tick IDC_RA_TEXTURE_MODE on
type IDC_RA_TEXTURE_SIZE 1024
type IDC_RA_PIXELS_PER_UNIT 256
click IDC_RA_APPLY_TEXTURE
expect uv 0 a 0.125 0.875
preview islands-texture.png

# Loop select: the strip of quads round a cylinder from one UV edge.
open builtin:cylinder
mode uvpoints
command ID_UVCOMMAND
choose IDC_TABS "UV Function2"
select uvpoints 0 1
click IDC_LOOP_SELECT
expect mode uvpolygons
expect selection uvpolygons 0-7
preview cylinder-loop.png selected

# UV lists: the cube's UVs saved as ASCII and binary lists, drawn as EPS at 512 x 512 px, then
# scaled and loaded back from the binary list.
open builtin:cube
mode uvpolygons
command ID_UVCOMMAND
file Cube_UV.uva
click IDC_MENU_SAVE_ASCII
expect file Cube_UV.uva contains "0 0.25 0.625 0"
file Cube_UV.uvb
click IDC_MENU_SAVE_BINARY
expect file Cube_UV.uvb exists
modal type IDC_EPS_WIDTH 512
modal type IDC_EPS_HEIGHT 512
modal type IDC_EPS_LINE 2
modal click IDC_EPS_OK
click IDC_EPS_SIZE
expect control IDC_EPS_SIZE label "EPS Size W:512px H:512px"
file Cube_UV.eps
click IDC_MENU_SAVE_EPS
expect file Cube_UV.eps contains "%%BoundingBox: 0 0 512 512"
select uvpolygons all
choose IDC_TABS "Scale&Rotate"
type IDC_SCALE_U 0.5
type IDC_SCALE_V 0.5
click IDC_SCALE
file Cube_UV.uvb
click IDC_MENU_LOAD
expect uv 0 a 0.25 0.625
undo
redo
expect uv 0 a 0.25 0.625
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
# UV morph: the islands recorded as a key at frame 0, the small island scaled by 2 and recorded
# at frame 20, the frames between played. Half way, at frame 10, the island is scaled by 1.5.
# Opening the morph dialog prints the banner again.
open builtin:islands
fps 25
frame 0
command ID_ANIUVCOMMAND
click IDC_MORPH_RECORD
mode uvpolygons
select uvpolygons 1
command ID_UVCOMMAND
choose IDC_TABS "Scale&Rotate"
type IDC_SCALE_U 2
type IDC_SCALE_V 2
click IDC_SCALE
expect uv 1 a 0.5 0.5
dialog ID_ANIUVCOMMAND
choose IDC_MORPH_WHERE IDC_MORPH_AT_FRAME
type IDC_MORPH_FRAME 20
click IDC_MORPH_RECORD
print keys
play 0 20
expect uv 1 a 0.5 0.5
frame 10
evaluate
expect uv 1 a 0.5625 0.4375
preview islands-morph.png
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
# Edge stitch on the cube's cross: the top face's side c-d (points 6 to 2, edge 18) is the seam
# between the top and the right face. "Point" pulls the right face's corner at point 6 onto the
# top face's edge; "Polygon" turns the whole right face by 90 degrees onto it.
open builtin:cube
command ID_UVCOMMAND
choose 10071 "UV Function2"
mode edges
select polygons 4
select edges 18
preview cube-seam-before.png
click IDC_EDGE_STITCH
expect changed
expect uv 1 c 0.5 0.125
preview cube-seam-point.png
undo
choose IDC_EDGE_STITCH_MODE "Polygon"
click IDC_EDGE_STITCH
expect uv 1 a 0.75 0.375 within 0.000000001
expect uv 1 d 0.75 0.125 within 0.000000001
preview cube-seam-polygon.png
# Polygon connect on the islands: the small island's edge c-d (UV points 6 and 7) onto the right
# edge of the large island's quad 2 (UV points 10 and 11). The direct placement lies on quad 2;
# the answer yes to "UV Revers ?" swaps the edge's ends and the island lies beside it.
open builtin:islands
command ID_UVCOMMAND
choose 10071 "UV Function2"
mode uvpoints
select uvpolygons 1
select uvpoints 6 7 10 11
preview islands-connect-before.png
answer yes
click IDC_CONNECT
expect message "UV Revers ?"
print redraws
expect uv 1 a 0.875 0.625 within 0.000000001
expect uv 1 c 0.625 0.875 within 0.000000001
preview islands-connect-reversed.png
undo
expect uv 1 a 0.375 0.875 within 0.000000001
preview islands-connect-direct.png
redo
# Inspection of a deliberately broken layout: island 1 is mirrored, island 2 has half the texel
# density of the others, island 3 lies over island 0. The heatmaps show each fault where it is;
# pelterra inspect FILE.obj reports the same for any mesh.
open builtin:broken
inspect
expect overlaps 3
expect flips 2
preview broken-density.png color density
preview broken-stretch.png color stretch
preview broken-flips.png color flips
preview broken-overlaps.png color overlaps
preview broken.svg color overlaps
# The fix: island 1 mirrored back by hand (its u runs the other way), island 2 scaled by 2 with
# the island scale, island 3 moved to the middle of the texture with Move Islands.
uv 2 a 0.5625 0.25
uv 2 b 0.5625 0.0625
uv 2 c 0.75 0.0625
uv 2 d 0.75 0.25
uv 3 a 0.75 0.25
uv 3 b 0.75 0.0625
uv 3 c 0.9375 0.0625
uv 3 d 0.9375 0.25
expect flips 0
command ID_UVCOMMAND
choose 10071 "Scale&Rotate"
mode uvpolygons
select uvpolygons 4-5
type IDC_SCALE_U 2
type IDC_SCALE_V 2
click IDC_SCALE
choose 10071 "UV Function2"
choose IDC_SET_OR_MOVE IDC_SET_OR_MOVE_MOVE
tick IDC_SET_U_ON on
tick IDC_SET_V_ON on
select uvpolygons 6-7
type IDC_MOVE_U 50
type IDC_MOVE_V 50
click IDC_MOVE
select uvpolygons none
inspect
expect overlaps 0
expect flips 0
preview broken-fixed-density.png color density
preview broken-fixed.svg
save broken-fixed.obj
# glTF: islands.glb, three quads that the demo wrote beside this session. Scale the small
# island at the bottom left by 1.5 and save a copy: only the bytes of its texture coordinates
# differ (the demo lists the differing bytes at its end).
open islands.glb
mode uvpolygons
command ID_UVCOMMAND
choose 10071 "Scale&Rotate"
select uvpolygons 2-3
type IDC_SCALE_U 1.5
type IDC_SCALE_V 1.5
click IDC_SCALE
expect changed
expect uv 2 a 0.125 0.9375
save islands-scaled.glb
preview islands-gltf.png
)";

}  // namespace pelterra
