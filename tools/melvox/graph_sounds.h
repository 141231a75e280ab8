// The name of a graph's sound on the command line, for `melvox render`.
#pragma once

#include <string>

#include "melvox/analysis.h"

namespace melvox::cli {

// "tone", "fricative" or "resynthesis"; UsageError for anything else.
GraphSoundKind ParseGraphSound(const std::string& name);

}  // namespace melvox::cli
