// Recording through the process's recorder with a live level meter on the terminal, and keeping the
// recording: shared by `melvox record` and the demo.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "audio/sound_recorder.h"
#include "platform/riff_writer.h"

namespace melvox::cli {

struct RecordingResult {
  std::string device;    // the backend the recorder's device opened with: "pulse", "null", "test"
  int32_t recorded_ms;   // length of the recording (truncated)
  bool stopped_by_user;  // Enter was pressed, or should_stop said so, before the time limit
};

// Starts a recording and shows its level until the time limit (seconds), Enter (when standard input is
// a terminal) or should_stop (asked every 50 ms) ends it; then stops the recorder. Prints, each line
// after indent, "device: NAME" once recording has started, a hint to press Enter when standard input
// is a terminal, and "level: [BAR] D dBFS  T s" (BAR 30 characters wide for -60 .. 0 dBFS, D the
// loudest level heard since the last line, "-inf" for silence; T the seconds recorded): on a terminal
// redrawn in place every 50 ms, otherwise one line every 500 ms. Throws CMsgException as the recorder
// does.
RecordingResult RecordWithMeter(CSoundRecorder& recorder, int seconds, const char* indent,
                                const std::function<bool()>& should_stop);

// Copies the recorder's file (the last recording) into out, an output file (RiffWriter::CreateOutput),
// and closes it, so that it takes its path's place. CMVException "Cannot open file" when the recording
// cannot be opened, "File I/O error" when the copy is incomplete (out is then removed).
void CopyRecording(CSoundRecorder& recorder, platform::RiffWriter& out);

// The meter's line for a level (0 .. 32767) after t seconds, without the indent.
std::string MeterLine(int32_t level, double seconds);

}  // namespace melvox::cli
