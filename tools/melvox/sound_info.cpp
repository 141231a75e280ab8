#include "sound_info.h"

#include <cinttypes>

namespace melvox::cli {

void PrintSoundInfo(const SoundInfo& info, std::FILE* out, const char* indent) {
  std::fprintf(out, "%sformat: %s\n", indent, info.format.c_str());
  std::fprintf(out, "%srate: %u\n", indent, static_cast<unsigned>(info.rate));
  std::fprintf(out, "%schannels: %u\n", indent, static_cast<unsigned>(info.channels));
  std::fprintf(out, "%sbits: %u\n", indent, static_cast<unsigned>(info.bits));
  std::fprintf(out, "%sframes: %" PRId64 "\n", indent, info.frames);
  std::fprintf(out, "%sduration_ms: %" PRId64 "\n", indent, info.duration_ms);
}

}  // namespace melvox::cli
