// Small built-in scenes for the demo, the sessions and the tests.
#pragma once

#include <string>
#include <vector>

#include "c4d_basedocument.h"

namespace pelterra {

struct BuiltinScene {
  std::string name;         // what sessions open, e.g. "cube"
  std::string description;  // one line for --help
};
std::vector<BuiltinScene> BuiltinScenes();

// Adds the named scene's objects to doc. Names may carry parameters ("grid:8x4"). False with
// error for an unknown name or bad parameters.
bool LoadBuiltinScene(const std::string& name, BaseDocument& doc, std::string& error);

// A scene's name without folder and suffix, for ${stem} and a batch's output folders:
// "meshes/chair.obj" is "chair", "builtin:grid:8x4" is "grid-8x4".
std::string SceneStem(const std::string& scene);

}  // namespace pelterra
