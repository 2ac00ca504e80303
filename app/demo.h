// The demonstration session that `pelterra demo` runs on a built-in scene.
#pragma once

namespace pelterra {

// Session text; ${out} is the demo's output folder.
extern const char* const kDemoSession;

}  // namespace pelterra
