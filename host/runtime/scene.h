// Scene evaluation and view drawing as the host runs them.
#pragma once

#include "c4d_basedocument.h"
#include "c4d_basedraw.h"

namespace hostrt {

struct EvaluationReport {
  Int32 tagsExecuted = 0;
  Int32 tagErrors = 0;    // tags whose Execute answered other than OK
  Int32 cachesBuilt = 0;  // generators whose cache was (re)built
  Int32 tracksAnimated = 0;
  Int32 trackErrors = 0;  // tracks whose Animate answered false
};

// Builds every generator's cache that is missing or whose parameters changed since it was
// built, depth first; answers how many it built.
Int32 UpdateCaches(BaseDocument& doc);

// Animation first: every plug-in track of every object animates at the document's time with
// the keys around it. Then the generators' caches that are out of date are built, and every
// plug-in tag of every object executes. Objects go depth first in tree order.
EvaluationReport EvaluateScene(BaseDocument& doc);

// Lets every plug-in tag draw into view; answers how many tags drew.
Int32 DrawViews(BaseDocument& doc, BaseDraw& view);

}  // namespace hostrt
