// melvox record OUT.wav [--seconds N] [--compare REF] [--device pulse|null]
#include <cstdio>
#include <memory>
#include <string>

#include "audio/sound_recorder.h"
#include "cli.h"
#include "core/mv_exception.h"
#include "device_choice.h"
#include "interrupt.h"
#include "platform/riff_writer.h"
#include "record_meter.h"
#include "sound/open_sound_file.h"

namespace melvox::cli {
namespace {

// Long enough for a sentence; the comparison takes sounds of up to 10 s.
constexpr long kDefaultSeconds = 5;
constexpr long kMaxSeconds = 300;

int RunRecord(const ParsedArgs& args) {
  // From the start, so that a signal at any point lets the temporary files be removed.
  const InterruptScope interrupt;
  const std::string device = DeviceOption(args);
  const long seconds = args.IntValue("--seconds", kDefaultSeconds, 1, kMaxSeconds);
  UseDevices(device, DeviceFailure::kQuiet);
  CSoundRecorder& recorder = ProcessRecorder();
  // OUT's new file and REF are made and opened before anything is recorded, so that a recording is
  // never lost to a wrong path at the end. The new file takes OUT's place only once the recording is
  // copied into it; every other way out removes it.
  const std::string& out_path = args.Positional()[0];
  platform::RiffWriter out;
  if (!out.CreateOutput(out_path.c_str())) throw CMVException(kErrCannotOpenFile);
  if (args.Has("--compare")) OpenSoundFile(args.Value("--compare", "").c_str());

  const RecordingResult result =
      RecordWithMeter(recorder, static_cast<int>(seconds), "", [] { return InterruptScope::Interrupted(); });
  if (InterruptScope::Interrupted()) return InterruptScope::ExitStatus();

  CopyRecording(recorder, out);
  std::printf("recorded_ms: %d\n", result.recorded_ms);
  std::printf("written: %s\n", out_path.c_str());
  if (args.Has("--compare")) {
    const int32_t score = recorder.Compare(args.Value("--compare", "").c_str());
    std::printf("%d\n", score);
  }
  return 0;
}

const bool registered = RegisterCommand({
    "record",
    "OUT.wav [--seconds N] [--compare REF] [--device pulse|null]",
    "record the default input into a WAV file, with a level meter",
    "Records the default input device through the recorder (22050 Hz, 16-bit mono) and copies the\n"
    "recording to OUT.wav. Prints 'device: NAME' (pulse, or null when no sound server answers: the\n"
    "null device records silence in real time), then the line 'level: [BAR] D dBFS  T s' (the loudest\n"
    "level lately, -inf for silence): on a terminal redrawn in place, otherwise every half second.\n"
    "Recording stops after N seconds, or earlier at Enter when standard input is a terminal. Then\n"
    "prints 'recorded_ms: N' and 'written: OUT.wav', and with --compare the similarity of the recording\n"
    "with REF in percent, alone on the last line. Ctrl-C stops without writing OUT.wav (status 130;\n"
    "SIGTERM and SIGHUP alike, 143 and 129). OUT.wav is replaced only by a whole recording.",
    {
        {"--seconds", "N", "stop after N seconds, 1 to 300 (default 5)"},
        {"--compare", "REF", "compare the recording with the sound file REF and print the score"},
        {"--device", "NAME", "pulse or null instead of the automatic choice (PulseAudio when a server answers)"},
    },
    1,
    1,
    65,
    RunRecord,
});

}  // namespace
}  // namespace melvox::cli
