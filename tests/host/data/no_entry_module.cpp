// A module that loads but has no c4d_main: the host must refuse it, not call into it.
#ifdef _WIN32
#define EXPORTED extern "C" __declspec(dllexport)
#else
#define EXPORTED extern "C" __attribute__((visibility("default")))
#endif

EXPORTED int plugin_main(int action) {
  return action;
}
