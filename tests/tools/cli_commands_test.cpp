// The melvox commands run as a user would: what they print for scripts to read, and their exit statuses
// (0 success, 1 a failure of the library with its message alone, 2 a usage error, 130 Ctrl-C). The
// numbers they print are the library's, checked where it is tested.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "cli_runner.h"
#include "graph/graph_picture.h"
#include "graph/graph_type.h"
#include "melvox/cli.h"
#include "platform/png_file.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "spectral/spectral_analysis.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

constexpr uint32_t kRate = 22050;

TEST(CliCommandsTest, CommandsEndWithTheirStatusAndPrintTheirLines) {
  TempDir folder;
  const std::string tone = folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 150.0f, 300, 8000.0f), kRate));
  const std::string missing = folder.File("missing.wav");
  const std::string quiet = folder.Write("quiet.wav", PcmWav16(std::vector<int16_t>(kRate, 0), kRate));
  const std::string png = folder.File("g.png");
  const std::string kSizes = "each graph must be 1 to 10000 pixels wide and 1 to 2000 high.\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    // Status 0: the whole of standard output; 1: a library failure's message, the whole of standard error;
    // 2: part of a usage error's message.
    std::string text;
  };
  const Case cases[] = {
      // The formats and lengths of every kind of file are checked in tests/sound; here the lines info prints.
      {{"info", quiet}, 0, "format: pcm\nrate: 22050\nchannels: 1\nbits: 16\nframes: 22050\nduration_ms: 1000\n"},
      {{"endpoints", quiet}, 0, "none\n"},                                                   // silence has no endpoints
      {{"play", tone, "--device", "null"}, 0, "device: null\nposition: 0.30 s / 0.30 s\n"},  // at real time
      {{"--version"}, 0, "melvox " MELVOX_VERSION "\n"},
      {{"compare", tone, missing}, 1, "melvox: cannot compare the recording '" + missing + "':\nCannot open file\n"},
      {{"info", "--", "--help"}, 1, "Cannot open file\n"},  // after "--", a file name
      {{"info", folder.Path()}, 1, "Cannot open file\n"},   // a folder is no sound file
      {{"info", folder.Write("stereo.wav", PcmWav16({0, 0}, kRate, 2))},
       1,
       "Incorrect wave format\nmelvox reads mono WAV files (PCM or IMA ADPCM) and Ogg Vorbis files.\n"},
      {{"demo", "--out", tone + "/demo", "--no-view"},
       1,
       "melvox demo: cannot create the folder '" + tone + "/demo': Not a directory\nCannot open file\n"},
      // Silence has no spectral peak tracks, so nothing to resynthesize: the command's own message.
      {{"render", quiet, folder.File("r.wav"), "--sound", "resynthesis"},
       1,
       "The sound has no spectral peak tracks to resynthesize.\n"},
      {{"info"}, 2, ""},
      {{"info", "--bogus", "a.wav"}, 2, ""},
      {{"play", tone, "--device", "alsa"}, 2, ""},
      {{"record", folder.File("a.wav"), "--seconds", "0"}, 2, "from 1 to 300"},
      {{"stretch", tone, folder.File("o.wav"), "--level", "0"}, 2, "--level must be a whole number from -200 to -1"},
      {{"stretch", tone, folder.File("o.wav"), "--level", "-10x"}, 2, "--level must be a whole number from -200 to -1"},
      {{"graph", tone, "-o", png, "--size", "0x150"}, 1, "Cannot draw graphs of 0x150 pixels: " + kSizes},
      {{"graph", tone, "-o", png, "--size", "10001x10"}, 1, "Cannot draw graphs of 10001x10 pixels: " + kSizes},
      {{"graph", tone, "-o", folder.File("no/g.png")},
       1,
       "cannot write '" + folder.File("no/g.png") + "': No such file or directory\n"},
      {{"graph", tone, "-o", png, "--size", "wide"}, 2, "--size must be WIDTHxHEIGHT"},
      {{"graph", tone, "-o", png, "--types", "16"}, 2, "--types must be a whole number from 1 to 15"},
      {{"graph", tone, "-o", png, "--level", "-20"}, 2, "--level needs --slowed"},
      {{"graph", tone}, 2, "-o OUT.png is required"},
  };
  for (const Case& c : cases) {
    const CliResult run = RunCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args.back() << ": " << run.err;
    if (c.status == 2) {
      EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
    } else {
      EXPECT_EQ(c.status == 0 ? run.out : run.out + run.err, c.text);  // a failure prints nothing else
    }
  }
  EXPECT_FALSE(std::filesystem::exists(png)) << "a graph that failed left a file";
  const CliResult help = RunCli({"info", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: melvox info FILE"), std::string::npos);

  // Whatever else a command throws, the program ends with a message and status 1.
  cli::RegisterCommand({"throw", "", "", "", {}, 0, 0, 0, [](const cli::ParsedArgs&) -> int { throw 42; }});
  char* argv[] = {const_cast<char*>("melvox"), const_cast<char*>("throw")};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(cli::Main(2, argv), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unexpected error\n");

  // Output that does not reach standard output (a full disk) is a failure.
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"analyze", tone, "--json"}, {"info", tone}, {"pitch", tone, "--csv"}, {"compare", tone, tone}, {"help"}}) {
    const CliResult full = RunCli(args, {"", SIGINT, "/dev/full"});
    EXPECT_EQ(full.status, 1) << args[0];
    EXPECT_EQ(full.err, "melvox: cannot write to standard output: No space left on device\n") << args[0];
  }
}

// On the null device, at real time, so the sounds are short.
TEST(CliCommandsTest, PlaySaysALevelIsHeldAndCtrlCStopsIt) {
  TempDir folder;
  const std::string path = folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 440.0f, 250, 9000.0f), kRate));

  // A level outside the player's range is said to be held (the length it plays, the player's test checks).
  const CliResult held = RunCli({"play", path, "--device", "null", "--slowed", "--level", "-150"});
  EXPECT_EQ(held.status, 0) << held.err;
  EXPECT_EQ(held.out.rfind("level: -150 is held at -100 (the player keeps -100 to -10)\ndevice: null\n", 0), 0u);

  // Interrupted right after playback starts, short of the 5 s (only a program that ignored the
  // interrupt would reach the end), with the position line ended.
  const std::string long_path = folder.Write("long.wav", PcmWav16(samples::Tone(kRate, 440.0f, 5000, 9000.0f), kRate));
  const CliResult run = RunCli({"play", long_path, "--device", "null"}, {"device: "});
  EXPECT_EQ(run.status, 130) << run.err;
  const std::string prefix = "device: null\nposition: ";
  ASSERT_EQ(run.out.compare(0, prefix.size(), prefix), 0) << run.out;
  EXPECT_LT(std::strtod(run.out.c_str() + prefix.size(), nullptr), 4.0) << run.out;
  EXPECT_EQ(run.out.back(), '\n');
}

TEST(CliCommandsTest, StretchAndComparePrintTheirLines) {
  TempDir folder;
  const auto speech = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
  const std::string in = folder.Write("in.wav", PcmWav16(speech, kRate));
  const std::string out = folder.File("out.wav");
  const CliResult result = RunCli({"stretch", in, out, "--level", "-100"});
  ASSERT_EQ(result.status, 0) << result.err;
  const int64_t frames = OpenSoundFile(out.c_str())->GetLength();
  const auto n = static_cast<int64_t>(speech.size());
  EXPECT_EQ(result.out, "input_frames: " + std::to_string(n) + "\ninput_ms: " + std::to_string(n * 1000 / kRate) +
                            "\noutput_frames: " + std::to_string(frames) +
                            "\noutput_ms: " + std::to_string(frames * 1000 / kRate) + "\n");

  // Written over its input on a full disk, the input stays as it was and nothing else is left.
  const Bytes before = ReadFileBytes(in);
  CliResult full;
  {
    const FileSizeLimit full_disk(16384);
    full = RunCli({"stretch", in, in});
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "File I/O error\n");
  EXPECT_EQ(ReadFileBytes(in), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2) << "in.wav and out.wav alone";

  // Compare prints the percentage last and, with --details, the terms before it (the same lines for any
  // pair: the phrase against itself).
  const CliResult plain = RunCli({"compare", in, in});
  EXPECT_EQ(plain.status, 0) << plain.err;
  const CliResult details = RunCli({"compare", in, in, "--details"});
  EXPECT_EQ(details.status, 0) << details.err;
  std::istringstream lines(details.out);
  std::string line;
  for (const char* key : {"compared: yes", "reference_ms: ", "recording_ms: ", "duration_score: ", "sA: ", "sB: ",
                          "sC: ", "reference_notes: 9", "recording_notes: 9"}) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind(key, 0), 0u) << line;
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line + "\n", plain.out);
  EXPECT_FALSE(std::getline(lines, line));
}

using platform::Bitmap;

// Part of a picture, from row top on.
Bitmap Band(const Bitmap& picture, int32_t top, int32_t width, int32_t height) {
  Bitmap band(width, height);
  platform::Canvas(band).BitBlt(0, 0, width, height, picture, 0, top);
  return band;
}

// What each graph shows of a sound is checked in tests/graph, and its failures are rows of the table
// above; here that the command stacks the graphs in the order envelope, pitch, crossing, spectrum with a
// white row between two, each as it is drawn alone (drawn together they share one analysis), and passes
// --types, --size and --detect on.
TEST(GraphCommandTest, ThePictureStacksTheGraphsAsEachIsDrawnAlone) {
  TempDir folder;
  const std::string in =
      folder.Write("speech.wav", PcmWav16(samples::SpeechLike(kRate, samples::DemoPhrase(), {}), kRate));
  const std::string out = folder.File("graphs.png");
  const CliResult result = RunCli({"graph", in, "-o", out, "--size", "300x60"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Bitmap picture = platform::ReadPng(out);
  ASSERT_EQ(picture.Width(), 300);
  ASSERT_EQ(picture.Height(), 4 * 60 + 3);
  CountedPtr<CSoundSource> sound = OpenSoundFile(in.c_str());
  for (int32_t g = 0; g < 4; ++g) {
    EXPECT_EQ(Band(picture, g * 61, 300, 60), DrawGraphPicture(sound.Get(), kGraphOrder[g], 300, 60, 0)) << g;
  }
  const Bitmap white_row(300, 1, platform::RGB(255, 255, 255));
  for (int32_t g = 1; g < 4; ++g) EXPECT_EQ(Band(picture, g * 61 - 1, 300, 1), white_row) << g;

  const CliResult pitch = RunCli({"graph", in, "-o", out, "--types", "4", "--size", "50x30", "--detect"});
  ASSERT_EQ(pitch.status, 0) << pitch.err;
  EXPECT_EQ(platform::ReadPng(out), DrawGraphPicture(sound.Get(), GRAPH_PITCH, 50, 30, 1));
}

// Points the children's temporary folder at a folder of the test's own while it lives.
class ChildTempFolder {
 public:
  ChildTempFolder() { ::setenv("TMPDIR", folder_.Path().c_str(), 1); }
  ~ChildTempFolder() { ::unsetenv("TMPDIR"); }
  bool Empty() const { return std::filesystem::is_empty(folder_.Path()); }

 private:
  TempDir folder_;
};

// `melvox record` on the null device (silence in real time, so the recordings are short): what it
// prints and writes, failures and signals, and the recorder's temporary file, which must be gone when
// the program has ended.
TEST(RecordCommandTest, RecordsForTheTimeLimitAndFailuresAndSignalsLeaveNothingBehind) {
  TempDir out;
  TempDir failed;  // for the failures and signals, and left empty by them
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
  const size_t at = run.out.find("recorded_ms: ");
  ASSERT_NE(at, std::string::npos) << run.out;
  const long recorded = std::strtol(run.out.c_str() + at + 13, nullptr, 10);
  EXPECT_GE(recorded, 970);
  EXPECT_LE(recorded, 1000 + 2 * 23);

  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 44u);
  const size_t data = bytes.size() - 44;
  EXPECT_EQ(data % 1024, 0u) << "whole buffers";
  EXPECT_EQ(static_cast<long>(data * 1000 / 44100), recorded);

  // The score alone on the last line: the recorder's comparison, which compares the detected parts as
  // `melvox compare` does.
  const CliResult compared = RunCli({"compare", reference, path});
  ASSERT_EQ(compared.status, 0) << compared.err;
  EXPECT_EQ(run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1), compared.out);  // its last line

  // A path that cannot be written, or a reference that cannot be read, fails before anything is
  // recorded (no level line), so no recording is lost at the end.
  const CliResult nowhere = RunCli({"record", failed.File("missing/a.wav"), "--seconds", "1", "--device", "null"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.err, "Cannot open file\n");
  EXPECT_EQ(nowhere.out.find("level:"), std::string::npos) << nowhere.out;
  const CliResult no_reference =
      RunCli({"record", failed.File("c.wav"), "--device", "null", "--compare", failed.File("missing.wav")});
  EXPECT_EQ(no_reference.status, 1);
  EXPECT_EQ(no_reference.out.find("level:"), std::string::npos) << no_reference.out;

  // A temporary folder that does not exist, or that fills up while the recording runs (after about
  // 0.45 s).
  const CliResult no_temp =
      RunCli({"record", failed.File("d.wav"), "--device", "null"}, {"", SIGINT, "", failed.File("no")});
  EXPECT_EQ(no_temp.status, 1);
  EXPECT_EQ(no_temp.err, "Cannot open file\n");
  CliResult full;
  {
    const FileSizeLimit full_disk(20000);
    full = RunCli({"record", failed.File("d.wav"), "--seconds", "1", "--device", "null"});
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "File I/O error\n");

  // Ctrl-C, and the signals that end a session or ask a program to stop, stop the recording.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const CliResult stopped = RunCli({"record", failed.File("b.wav"), "--device", "null"}, {"device: ", signal});
    EXPECT_EQ(stopped.status, 128 + signal) << stopped.err;
  }
  EXPECT_TRUE(std::filesystem::is_empty(failed.Path())) << "nothing is written, not even in part";
  EXPECT_TRUE(temp.Empty()) << "the recorder's temporary file outlived the program";
}

// The output formats of `melvox endpoints`, `melvox pitch` and `melvox analyze`, which scripts rely on.
// A minimal JSON reader: it throws on anything but well-formed JSON and keeps the text of scalars, so
// that floats read back exactly with strtof. An array's items have empty keys.
struct Json {
  std::string text;
  std::vector<std::pair<std::string, Json>> items;
  const Json& operator[](const std::string& key) const {
    for (const auto& [name, value] : items) {
      if (name == key) return value;
    }
    throw std::out_of_range("no member " + key);
  }
  const Json& operator[](size_t index) const { return items.at(index).second; }
  float Float() const { return std::strtof(text.c_str(), nullptr); }
};

// Reads one JSON value from text at `at`.
Json ReadJson(const std::string& text, size_t& at) {
  const auto take = [&](char c) { return at < text.size() && text[at] == c ? (++at, true) : false; };
  const auto fail = [&](const char* what) { throw std::runtime_error(what + (" at " + std::to_string(at))); };
  Json value;
  if (take('{') || take('[')) {
    const bool object = text[at - 1] == '{';
    const char close = object ? '}' : ']';
    if (take(close)) return value;
    do {
      std::string key;
      if (object && (at >= text.size() || text[at] != '"')) fail("a key must be a string");
      if (object) key = ReadJson(text, at).text;
      if (object && !take(':')) fail("expected ':'");
      value.items.emplace_back(std::move(key), ReadJson(text, at));
    } while (take(','));
    if (!take(close)) fail("unclosed");
  } else {
    // A string's text runs to its closing quote, a number's or a word's to what ends it.
    const bool quoted = take('"');
    const size_t end = quoted ? text.find('"', at) : std::min(text.find_first_of(",]}\n", at), text.size());
    if (end == std::string::npos) fail("unterminated string");
    value.text = text.substr(at, end - at);
    at = end + (quoted ? 1 : 0);
    char* stop = nullptr;
    std::strtod(value.text.c_str(), &stop);
    const bool word = value.text == "true" || value.text == "false" || value.text == "null";
    if (!quoted && !word && (value.text.empty() || *stop != '\0')) fail("not a value");
  }
  return value;
}

// The one JSON value a command printed (a final newline allowed).
Json ReadJsonDocument(const std::string& text) {
  size_t at = 0;
  Json value = ReadJson(text, at);
  if (at != text.size() && text.substr(at) != "\n") throw std::runtime_error("text after the value");
  return value;
}

// The numbers themselves are the library's (checked in tests/analysis and tests/spectral); here the
// formats: the endpoints (silence's "none" is a row of the first table), one CSV row per step of the
// whole file, and JSON that reads back to the very same floats.
TEST(AnalysisCommandsTest, EndpointsPitchCsvAndAnalyzeJsonCarryTheLibrarysNumbers) {
  constexpr uint32_t kSpeechRate = 16000;  // the analysis steps 160 frames at this rate
  TempDir dir;
  const std::vector<int16_t> speech = samples::SpeechLike(kSpeechRate, samples::DemoPhrase(), samples::Voice{});
  const std::string path = dir.Write("speech.wav", PcmWav16(speech, kSpeechRate));
  auto detected = samples::MakeWave16(speech, kSpeechRate);
  ASSERT_TRUE(DetectEndpoints(*detected));
  const CliResult found = RunCli({"endpoints", path});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out,
            std::to_string(detected->SelectionStart()) + " " + std::to_string(detected->SelectionEnd()) + "\n");

  auto wave = samples::MakeWave16(speech, kSpeechRate);
  const CSoundAnalysis analysis(wave.get(), 0);
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, static_cast<int32_t>(speech.size()) - 1);
  const CliResult csv = RunCli({"pitch", path, "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  std::vector<std::string> lines;
  std::istringstream stream(csv.out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), contour.size() + 1);
  EXPECT_EQ(lines[0], "time_s,f0_hz");
  const size_t voiced =
      std::find_if(contour.begin(), contour.end(), [](int16_t f0) { return f0 > 0; }) - contour.begin();
  ASSERT_LT(voiced, contour.size());
  char expected[32];
  std::snprintf(expected, sizeof expected, "%zu.%02zu,%d", voiced / 100, voiced % 100, contour[voiced]);
  EXPECT_EQ(lines[voiced + 1], expected);

  const CliResult run = RunCli({"analyze", path, "--json", "--spectrum"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Json json = ReadJsonDocument(run.out);
  EXPECT_EQ(json["rate"].text, "16000");
  EXPECT_EQ(json["hop"].text, "160");
  EXPECT_EQ(json["length"].text, std::to_string(speech.size()));
  const std::vector<FrameResult>& results = analysis.Results();
  ASSERT_EQ(json["steps"].items.size(), results.size());
  const Json& step = json["steps"][voiced];
  const FrameResult& result = results[voiced];
  // %.9g reads back to the very same float.
  EXPECT_EQ(step["level_db"].Float(), result.level_db);
  EXPECT_EQ(step["periodicity"].Float(), result.periodicity);
  EXPECT_EQ(step["pitch_hz"].text, std::to_string(result.pitch_hz));
  EXPECT_EQ(step["silent"].text, "false");
  ASSERT_EQ(step["candidates"].items.size(), result.candidates.size());
  EXPECT_EQ(step["candidates"][0]["depth"].Float(), result.candidates[0].depth);
  ASSERT_EQ(step["log_spectrum"].items.size(), result.log_spectrum.size());
  EXPECT_EQ(step["log_spectrum"][3].Float(), result.log_spectrum[3]);
  EXPECT_EQ(json["contour"].items.size(), contour.size());
  EXPECT_EQ(json["pitch_segments"].items.size(), analysis.VoicedSegments().size());
  EXPECT_EQ(json["noise_segments"].items.size(), analysis.NoisySegments().size());
  const CSpectralAnalysis spectral(analysis);
  ASSERT_EQ(json["notes"].items.size(), spectral.Notes().size());
  EXPECT_EQ(json["notes"][0]["peaks"][0]["energy"].Float(), spectral.Notes()[0].Peaks()[0].energy);
  ASSERT_EQ(json["tracks"]["tracks"].items.size(), spectral.PeakTracks()->Tracks().size());

  // Without --spectrum the steps carry no log spectrum.
  const Json plain = ReadJsonDocument(RunCli({"analyze", path, "--json"}).out);
  EXPECT_THROW(plain["steps"][0]["log_spectrum"], std::out_of_range);
}

}  // namespace
}  // namespace melvox::testing
