// The UV morph track has no parameters of its own.
enum {
  CTBLINKER_DUMMY = 0,
};
