// melvox compare REF REC [--details] [--whole]
#include <cstdio>

#include "cli.h"
#include "comparison_report.h"

namespace melvox::cli {
namespace {

int RunCompare(const ParsedArgs& args) {
  const ComparisonTerms terms = CompareFiles(args.Positional()[0], args.Positional()[1], args.Has("--whole"));
  if (args.Has("--details")) PrintTerms(terms, stdout);
  std::printf("%d\n", ScorePercent(terms.score));
  return 0;
}

const bool registered = RegisterCommand({
    "compare",
    "REF REC [--details] [--whole]",
    "how similar a recording is to a reference, in percent",
    "Finds the useful part of both sounds (as 'melvox endpoints' does), analyses both and prints their\n"
    "similarity as a whole percentage (0 to 100) alone on the last line: a weighted mean of how alike\n"
    "their note lists (spectral peaks), noisy stretches, voiced stretches with their pitch shapes, and\n"
    "durations are. Sounds longer than 10 seconds score 0. The output is described in docs/cli.md.",
    {
        {"--details", nullptr, "first print both durations, the duration score, the three terms and the note counts"},
        {"--whole", nullptr, "compare the whole files, without finding their useful parts"},
    },
    2,
    2,
    40,
    RunCompare,
});

}  // namespace
}  // namespace melvox::cli
