// Parameters of a UV morph key.
enum {
  AUV_KEY_UVS = 1000,  // UV snapshot: four knots per polygon
  AUV_KEY_TAG = 1002,  // the UVW tag the snapshot belongs to
};
