// Parameters of the UV transfer tag.
enum {
  TRANSFERUV_UVWTAG = 1001,  // source object's UVW tag
  TRANSFERUV_OBJECT = 1002,  // source polygon object
  TRANSFERUV_SIZE = 1003,    // mesh units per UV unit
  TRANSFERUV_PLANE = 1004,   // backdrop plane (hidden)
  TRANSFERUV_XRAY = 1005,    // X-ray flag passed to the plane
};
