#include "record_meter.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "core/mv_exception.h"

namespace melvox::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kRefreshMs = 50;
constexpr int64_t kPlainLineMs = 500;
constexpr int kBarWidth = 30;
constexpr double kFloorDb = -60.0;

// Registered with the recorder while one recording is shown; keeps the loudest level since it was
// last read (it runs on the recorder's notification thread).
class MeterListener final : public IRecorderListener {
 public:
  explicit MeterListener(CSoundRecorder& recorder) : recorder_(recorder) { recorder_.AddListener(this); }
  ~MeterListener() { recorder_.RemoveListener(this); }
  MeterListener(const MeterListener&) = delete;
  MeterListener& operator=(const MeterListener&) = delete;

  void OnLevel(int32_t value) override {
    int32_t loudest = loudest_.load();
    while (value > loudest && !loudest_.compare_exchange_weak(loudest, value)) {
    }
  }
  int32_t Take() { return loudest_.exchange(0); }

 private:
  CSoundRecorder& recorder_;
  std::atomic<int32_t> loudest_{0};
};

// True when a line was typed on standard input (which is a terminal); the line is read and dropped.
bool EnterPressed() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (::poll(&input, 1, 0) <= 0 || !(input.revents & (POLLIN | POLLHUP))) return false;
  char line[256];
  return std::fgets(line, sizeof line, stdin) != nullptr || std::feof(stdin);
}

}  // namespace

std::string MeterLine(int32_t level, double seconds) {
  const double db = level > 0 ? 20.0 * std::log10(level / 32768.0) : -INFINITY;
  const int filled = db <= kFloorDb ? 0 : static_cast<int>(std::lround((db - kFloorDb) / -kFloorDb * kBarWidth));
  char text[96];
  if (level > 0) {
    std::snprintf(text, sizeof text, "level: [%-*s] %5.1f dBFS  %.1f s", kBarWidth, std::string(filled, '#').c_str(),
                  db, seconds);
  } else {
    std::snprintf(text, sizeof text, "level: [%-*s]  -inf dBFS  %.1f s", kBarWidth, "", seconds);
  }
  return text;
}

void CopyRecording(CSoundRecorder& recorder, platform::RiffWriter& out) {
  std::ifstream in(recorder.GetFileName(), std::ios::binary);
  if (!in) throw CMVException(kErrCannotOpenFile);
  char chunk[65536];
  bool written = true;
  while (written && in.read(chunk, sizeof chunk).gcount() > 0) {
    written = out.Write(chunk, static_cast<size_t>(in.gcount()));
  }
  if (!written || in.bad() || !out.Close()) throw CMVException(kErrFileIo);
}

RecordingResult RecordWithMeter(CSoundRecorder& recorder, int seconds, const char* indent,
                                const std::function<bool()>& should_stop) {
  const bool live = ::isatty(::fileno(stdout)) == 1;
  const bool keyboard = ::isatty(STDIN_FILENO) == 1;
  MeterListener meter(recorder);
  recorder.Start();
  const auto started = Clock::now();
  std::printf("%sdevice: %s\n", indent, recorder.DeviceName());
  if (keyboard) std::printf("%srecording: press Enter to stop (at most %d s)\n", indent, seconds);
  std::fflush(stdout);

  const auto limit = started + std::chrono::seconds(seconds);
  auto last_line = started;
  int32_t loudest = 0;
  bool by_user = false;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kRefreshMs));
    const auto now = Clock::now();
    // A lost device records nothing more: stop at once (Stop then reports it).
    if (now >= limit || recorder.DeviceLost()) break;
    if ((keyboard && EnterPressed()) || should_stop()) {
      by_user = true;
      break;
    }
    const double elapsed = std::chrono::duration<double>(now - started).count();
    if (live) {
      // Erasing to the end of the line keeps a shorter line from leaving characters behind.
      std::printf("\r%s%s\033[K", indent, MeterLine(meter.Take(), elapsed).c_str());
      std::fflush(stdout);
    } else {
      loudest = std::max(loudest, meter.Take());
      if (now - last_line >= std::chrono::milliseconds(kPlainLineMs)) {
        std::printf("%s%s\n", indent, MeterLine(loudest, elapsed).c_str());
        std::fflush(stdout);
        loudest = 0;
        last_line = now;
      }
    }
  }
  recorder.Stop();
  if (live) std::printf("\n");
  RecordingResult result;
  result.device = recorder.DeviceName();
  result.recorded_ms =
      static_cast<int32_t>(uint64_t{recorder.RecordedBytes()} * 1000 / RecordingFormat().nAvgBytesPerSec);
  result.stopped_by_user = by_user;
  return result;
}

}  // namespace melvox::cli
