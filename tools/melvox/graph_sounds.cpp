#include "graph_sounds.h"

#include "cli.h"

namespace melvox::cli {

GraphSoundKind ParseGraphSound(const std::string& name) {
  if (name == "tone") return GraphSoundKind::kTone;
  if (name == "fricative") return GraphSoundKind::kFricative;
  if (name == "resynthesis") return GraphSoundKind::kResynthesis;
  throw UsageError("--sound must be tone, fricative or resynthesis (got '" + name + "')");
}

}  // namespace melvox::cli
