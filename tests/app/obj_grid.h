// An OBJ text of side x side quads in one object, a v and a vt per point, above the size from
// which texts are walked on two threads (side 260: about 2.5 MB). Each face's third corner
// names its vt relatively, so that relative indices fall in both halves.
#pragma once

#include <string>

inline std::string GridObjText(int side) {
  std::string text = "o big\n";
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x)
      text += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\nvt " +
              std::to_string(x / double(side)) + " " + std::to_string(y / double(side)) + "\n";
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int a = y * (side + 1) + x + 1, b = a + 1, c = a + side + 2, d = a + side + 1;
      text += "f " + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(b) + "/" +
              std::to_string(b) + " " + std::to_string(c) + "/-1 " + std::to_string(d) + "/" +
              std::to_string(d) + "\n";
    }
  return text;
}
