// Identifiers of the plug-in's strings, dialogs and dialog controls.
#pragma once

enum {
  // Strings.
  IDS_PELTERRA = 10068,      // product name
  IDS_PELTERRA_INFO = 10069,  // text after the product name in the help line and banner
  IDS_UVMORPH = 10188,       // morph command and morph track
  IDS_TRANSFERUV = 10213,    // transfer tag

  // Plug-ins.
  ID_UVCOMMAND = 1024239,
  ID_AUVTRACK = 1030718,
  ID_ANIUVCOMMAND = 1030745,
  ID_TRANSFERTAG = 1039183,

  _PELTERRA_SYMBOLS_END_ = 1999999999
};
