// The steps of `melvox demo`. Each part of the library adds its own step in a file of its own
// (demo_*.cpp), registered with an order, so the demo always shows everything that works.
#pragma once

#include <string>

namespace melvox::cli {

struct DemoContext {
  std::string folder;        // where the demo writes its files
  std::string sample_path;   // the sample of speech (a WAV file)
  std::string spoken_text;   // what espeak-ng said in the sample; empty when the sample was generated
  bool record = false;       // --record: the comparison records the user's attempt instead of making one
  std::string attempt_path;  // the learner's attempt, once the comparison step has made it
  bool view = true;          // open the graphs in a window when a display answers (not with --no-view)
};

struct DemoStep {
  int order;          // steps run in increasing order
  const char* title;  // printed as "== TITLE" before the step
  void (*run)(DemoContext& context);
};

// Adds a step; used from a static initialiser in the step's own file.
bool RegisterDemoStep(DemoStep step);

}  // namespace melvox::cli
