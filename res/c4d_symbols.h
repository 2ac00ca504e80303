// Identifiers of the plug-in's strings, dialogs and dialog controls.
#pragma once

enum {
  // Strings.
  IDS_PELTERRA = 10068,       // product name
  IDS_PELTERRA_INFO = 10069,  // text after the product name in the help line and banner
  IDS_UVMORPH = 10188,        // morph command and morph track
  IDS_TRANSFERUV = 10213,     // transfer tag

  // Plug-ins.
  ID_UVCOMMAND = 1024239,
  ID_AUVTRACK = 1030718,
  ID_ANIUVCOMMAND = 1030745,
  ID_TRANSFERTAG = 1039183,

  // Resource layouts of the UV tools dialog, the EPS size dialog and the morph dialog.
  DLG_COPYSHAPE = 10009,
  DLG_SELECTAREA = 10027,
  DLG_ROTATE = 10037,
  DLG_SCALE = 10054,
  DLG_SETUVW = 10169,
  DLG_EPSSIZE = 10163,
  DLG_UVMORPH = 10180,

  // The UV tools dialog's own layout: tab row and tabs, pages, collapsible bars and their groups.
  IDC_TABS = 10071,
  IDC_TAB_FUNCTION1 = 10072,
  IDC_TAB_FUNCTION2 = 10073,
  IDC_TAB_SCALE_ROTATE = 10074,
  IDC_BAR_FUNCTION1 = 10076,
  IDC_BAR_FUNCTION2 = 10077,
  IDC_BAR_SELECT_AREA = 10079,
  IDC_BAR_SET_UVW = 10080,
  IDC_PAGE_FUNCTION1 = 10081,
  IDC_PAGE_FUNCTION2 = 10082,
  IDC_PAGE_SCALE_ROTATE = 10083,
  IDC_GROUP_COPY_SHAPE = 10086,
  IDC_GROUP_PAGES = 10087,
  IDC_BAR_COPY_SHAPE = 10089,
  IDC_BAR_SYMMETRY = 10090,
  IDC_BAR_ALIGN = 10094,
  IDC_BAR_STITCH_CONNECT = 10095,
  IDC_GROUP_ALIGN = 10096,
  IDC_GROUP_STITCH_CONNECT = 10097,
  IDC_BAR_SCALE = 10110,
  IDC_BAR_ROTATE = 10111,
  IDC_GROUP_SCALE = 10112,
  IDC_GROUP_ROTATE = 10113,
  IDC_GROUP_SYMMETRY = 10114,
  IDC_GROUP_SELECT_AREA = 10115,
  IDC_GROUP_LOOP_SELECT = 10121,
  IDC_BAR_LOOP_SELECT = 10123,
  IDC_BAR_MOVE_POINT_NUMBER = 10124,
  IDC_GROUP_MOVE_POINT_NUMBER = 10127,
  IDC_GROUP_SET_UVW = 10175,
  IDC_GROUP_UVMESH = 10214,

  // UV list menu and the EPS size button in the menu line.
  IDC_MENU_SAVE_ASCII = 10116,
  IDC_MENU_SAVE_BINARY = 10117,
  IDC_MENU_LOAD = 10118,
  IDC_MENU_SAVE_EPS = 10119,
  IDC_EPS_SIZE = 10120,

  // Align, line projection and Quick Grid.
  IDC_ALIGN_CAPTURE = 10093,   // button "Select UVpoints"
  IDC_ALIGN_DISTANCE = 10098,  // checkboxes
  IDC_ALIGN_GRID = 10099,
  IDC_ALIGN_RATE = 10159,
  IDC_ALIGN_U = 10100,  // bitmap buttons
  IDC_ALIGN_V = 10101,
  IDC_ALIGN_UV = 10102,
  IDC_PROJECT_U = 10161,
  IDC_PROJECT_V = 10162,
  IDC_GRID_SQUARE = 10210,  // checkboxes
  IDC_GRID_SIZE_FIT = 10211,
  IDC_QUICK_GRID = 10109,

  // Stitch and connect.
  IDC_EDGE_STITCH_MODE = 10156,  // combo, entries 0 (point) and 1 (polygon)
  IDC_EDGE_STITCH = 10108,
  IDC_CONNECT = 10160,
  IDC_STITCH_CAPTURE = 10103,  // button "Select UVpoints"
  IDC_STITCH_U = 10104,        // bitmap buttons
  IDC_STITCH_V = 10105,
  IDC_STITCH_CENTER_U = 10106,
  IDC_STITCH_CENTER_V = 10107,

  // Loop selection, moving UV point numbers, symmetry, the UV mesh.
  IDC_LOOP_SELECT = 10122,
  IDC_MOVE_POINT_LEFT = 10125,
  IDC_MOVE_POINT_RIGHT = 10126,
  IDC_SYMMETRY_PICK = 10139,
  IDC_SYMMETRY_RESET = 10140,
  IDC_SYMMETRY_KEEP = 10141,
  IDC_CREATE_UVMESH = 10212,

  // Copy Shape.
  IDC_CS_PAIRING = 10013,        // radio
  IDC_CS_PAIRING_CHAIN = 10014,  // its choice
  IDC_CS_STEP = 10018,           // button: the next pick
  IDC_CS_CLEAR = 10019,          // button
  IDC_CS_STEP1 = 10020,          // step indicators
  IDC_CS_STEP2 = 10021,
  IDC_CS_STEP3 = 10022,
  IDC_CS_STEP4 = 10023,
  IDC_CS_HINT = 10025,        // static text: what to select next
  IDC_CS_NEIGHBORS = 10026,   // checkbox: neighbours follow moved corners

  // Select Area.
  IDC_AREA_VALUE = 10031,  // float
  IDC_AREA_SELECT = 10032,
  IDC_AREA_SCALE = 10132,  // radio, choices 10133 ... 10137
  IDC_AREA_SCALE_1 = 10133,
  IDC_AREA_SCALE_100 = 10134,
  IDC_AREA_SCALE_1000 = 10135,
  IDC_AREA_SCALE_10000 = 10136,
  IDC_AREA_SCALE_100000 = 10137,
  IDC_AREA_MEASURE = 10138,

  // Rotate.
  IDC_ANGLE_PRESET = 10040,  // combo, entries 10042 ... 10048
  IDC_ANGLE_10 = 10042,
  IDC_ANGLE_30 = 10043,
  IDC_ANGLE_45 = 10044,
  IDC_ANGLE_60 = 10045,
  IDC_ANGLE_90 = 10046,
  IDC_ANGLE_135 = 10047,
  IDC_ANGLE_180 = 10048,
  IDC_ANGLE = 10050,           // degree field
  IDC_ROTATE = 10051,          // button
  IDC_TWO_POINT_ANGLE = 10053,  // button
  IDC_ROTATE_KEEP = 10152,     // checkbox "Keep Face Neighbors"
  IDC_ANGLE_AXIS = 10216,      // combo, entries 10217 U and 10218 V
  IDC_ANGLE_AXIS_U = 10217,
  IDC_ANGLE_AXIS_V = 10218,
  IDC_LIVE_ROTATE = 10221,     // checkbox
  IDC_ANGLE_RESET = 10222,     // button

  // Scale.
  IDC_SCALE_LINK = 10056,   // checkbox
  IDC_SCALE_U_ON = 10059,   // checkboxes
  IDC_SCALE_V_ON = 10060,
  IDC_SCALE_U = 10062,      // floats
  IDC_SCALE_V = 10063,
  IDC_SCALE = 10065,        // buttons
  IDC_SCALE_RESET = 10066,
  IDC_SIZE_CAPTURE = 10070,
  IDC_SCALE_KEEP = 10151,   // checkbox
  IDC_LIVE_SCALE = 10220,   // checkbox
  IDC_RA_MEASURE = 10191,   // real area: measure
  IDC_RA_APPLY = 10192,     // real area: apply
  IDC_RA_BAR = 10193,       // title bar of group 10194
  IDC_RA_GROUP = 10194,
  IDC_RA_APPLY_TEXTURE = 10195,
  IDC_RA_PIXELS_PER_UNIT = 10196,  // integers
  IDC_RA_TEXTURE_SIZE = 10197,
  IDC_RA_READOUT1 = 10199,  // percent readouts
  IDC_RA_READOUT2 = 10200,
  IDC_RA_TEXTURE_MODE = 10201,  // checkbox
  IDC_RA_UNIT = 10202,          // radio, choices 10203 ... 10206
  IDC_RA_UNIT_MM = 10203,
  IDC_RA_UNIT_CM = 10204,
  IDC_RA_UNIT_M = 10205,
  IDC_RA_UNIT_KM = 10206,
  IDC_RA_LABEL1 = 10207,  // labels of the texture-mode controls
  IDC_RA_LABEL2 = 10208,
  IDC_RA_LABEL3 = 10209,

  // Set UVW and moving islands.
  IDC_SET_U_ON = 10170,  // checkboxes
  IDC_SET_V_ON = 10172,
  IDC_SET_U = 10171,     // floats
  IDC_SET_V = 10173,
  IDC_SET_UVW = 10174,   // button
  IDC_MOVE_U = 10176,    // percent sliders
  IDC_MOVE_V = 10177,
  IDC_MOVE = 10178,      // button
  IDC_LIST_GROUP = 10198,  // UV point listing, shown with res/debug.txt
  IDC_LIST = 10189,        // button
  IDC_LIST_TEXT = 10190,   // multi-line text
  IDC_MOVE_KEEP = 10215,   // checkbox
  IDC_POINTS_CENTER = 10224,  // button: mean of the selected UV points into 10171/10173
  IDC_SET_LABEL = 10223,      // shown with choice 10227
  IDC_MOVE_LABEL = 10225,     // shown with the other choice
  IDC_SET_OR_MOVE = 10226,    // radio
  IDC_SET_OR_MOVE_SET = 10227,
  IDC_SET_OR_MOVE_MOVE = 10219,

  // EPS size dialog.
  IDC_EPS_WIDTH = 10164,
  IDC_EPS_HEIGHT = 10166,
  IDC_EPS_OK = 10167,
  IDC_EPS_LINE = 10168,

  // Morph dialog.
  IDC_MORPH_WHERE = 10181,  // radio
  IDC_MORPH_NOW = 10182,    // its choices
  IDC_MORPH_AT_FRAME = 10183,
  IDC_MORPH_FRAME_LABEL = 10184,
  IDC_MORPH_FRAME = 10185,  // integer
  IDC_MORPH_RECORD = 10186,
  IDC_MORPH_CLOSE = 10187,

  _PELTERRA_SYMBOLS_END_ = 1999999999
};
