// `melvox record` on the null device (silence in real time, so the recordings are short): what it
// prints and writes, failures and signals, and the recorder's temporary file, which must be gone when
// the program has ended.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "samples/speech_like.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

// Points the children's temporary folder at a folder of the test's own while it lives.
class ChildTempFolder {
 public:
  ChildTempFolder() { ::setenv("TMPDIR", folder_.Path().c_str(), 1); }
  ~ChildTempFolder() { ::unsetenv("TMPDIR"); }
  bool Empty() const { return std::filesystem::is_empty(folder_.Path()); }

 private:
  TempDir folder_;
};

// The integer after "key: " in text, or -1.
long Field(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + ": ");
  return at == std::string::npos ? -1 : std::strtol(text.c_str() + at + key.size() + 2, nullptr, 10);
}

// The last line of text, without its newline.
std::string LastLine(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0: a single line
}

TEST(RecordCommandTest, RecordsForTheTimeLimitWritesTheWaveComparesItAndLeavesNoTemporaryFile) {
  TempDir out;
  ChildTempFolder temp;
  const std::string path = out.File("take.wav");
  const std::string reference =
      out.Write("ref.wav", PcmWav16(samples::SpeechLike(22050, samples::DemoPhrase(), samples::Voice{}), 22050));
  const CliResult run = RunCli({"record", path, "--seconds", "1", "--device", "null", "--compare", reference});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("device: null\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("level: [                              ]  -inf dBFS  0.5 s\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("written: " + path + "\n"), std::string::npos) << run.out;
  // One second of buffers, less the part-filled one a stop leaves out (at most 23 ms); the stop comes
  // from a wall-clock check every 50 ms, so on a loaded machine a buffer or two may land before it.
  const long recorded = Field(run.out, "recorded_ms");
  EXPECT_GE(recorded, 970);
  EXPECT_LE(recorded, 1000 + 2 * 23);

  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 44u);
  const size_t data = bytes.size() - 44;
  EXPECT_EQ(data % 1024, 0u) << "whole buffers";
  EXPECT_EQ(static_cast<long>(data * 1000 / 44100), recorded);
  EXPECT_TRUE(temp.Empty()) << "the recorder's temporary file outlived the program";

  // The score alone on the last line: the recorder's comparison, which compares the detected parts as
  // `melvox compare` does.
  const CliResult compared = RunCli({"compare", reference, path});
  ASSERT_EQ(compared.status, 0) << compared.err;
  EXPECT_EQ(LastLine(run.out), LastLine(compared.out));
  EXPECT_NE(LastLine(run.out).find_first_of("0123456789"), std::string::npos) << run.out;
}

TEST(RecordCommandTest, FailuresAndSignalsWriteNothingAndLeaveNothingBehind) {
  TempDir out;
  ChildTempFolder temp;
  // A path that cannot be written, or a reference that cannot be read, fails before anything is
  // recorded (no level line), so no recording is lost at the end.
  const CliResult nowhere = RunCli({"record", out.File("missing/a.wav"), "--seconds", "1", "--device", "null"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.err, "Cannot open file\n");
  EXPECT_EQ(nowhere.out.find("level:"), std::string::npos) << nowhere.out;
  const CliResult no_reference =
      RunCli({"record", out.File("c.wav"), "--device", "null", "--compare", out.File("missing.wav")});
  EXPECT_EQ(no_reference.status, 1);
  EXPECT_EQ(no_reference.out.find("level:"), std::string::npos) << no_reference.out;

  // A temporary folder that does not exist, or that fills up while the recording runs (after about
  // 0.45 s).
  const CliResult no_temp = RunCli({"record", out.File("d.wav"), "--device", "null"}, {"", SIGINT, "", out.File("no")});
  EXPECT_EQ(no_temp.status, 1);
  EXPECT_EQ(no_temp.err, "Cannot open file\n");
  CliResult full;
  {
    const FileSizeLimit full_disk(20000);
    full = RunCli({"record", out.File("d.wav"), "--seconds", "1", "--device", "null"});
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "File I/O error\n");

  // Ctrl-C, and the signals that end a session or ask a program to stop, stop the recording.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const CliResult stopped = RunCli({"record", out.File("b.wav"), "--device", "null"}, {"device: ", signal});
    EXPECT_EQ(stopped.status, 128 + signal) << stopped.err;
  }
  EXPECT_TRUE(std::filesystem::is_empty(out.Path())) << "nothing is written, not even in part";
  EXPECT_TRUE(temp.Empty()) << "the recorder's temporary file outlived the program";
}

}  // namespace
}  // namespace melvox::testing
