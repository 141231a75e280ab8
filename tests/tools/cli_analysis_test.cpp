// The output formats of `melvox endpoints`, `melvox pitch` and `melvox analyze`, which scripts rely
// on: run the built program on generated files and read back what it printed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "cli_runner.h"
#include "samples/speech_like.h"
#include "spectral/spectral_analysis.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

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
  } else if (take('"')) {
    const size_t end = text.find('"', at);
    if (end == std::string::npos) fail("unterminated string");
    value.text = text.substr(at, end - at);
    at = end + 1;
  } else {
    const size_t end = std::min(text.find_first_of(",]}\n", at), text.size());
    value.text = text.substr(at, end - at);
    char* stop = nullptr;
    std::strtod(value.text.c_str(), &stop);
    const bool word = value.text == "true" || value.text == "false" || value.text == "null";
    if (!word && (value.text.empty() || *stop != '\0')) fail("not a value");
    at = end;
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
// formats: the endpoints or none, one CSV row per step of the whole file, and JSON that reads back to
// the very same floats.
TEST(AnalysisCommandsTest, EndpointsPitchCsvAndAnalyzeJsonCarryTheLibrarysNumbers) {
  constexpr uint32_t kRate = 16000;
  TempDir dir;
  const std::vector<int16_t> speech = samples::SpeechLike(kRate, samples::DemoPhrase(), samples::Voice{});
  const std::string path = dir.Write("speech.wav", PcmWav16(speech, kRate));
  auto detected = samples::MakeWave16(speech, kRate);
  ASSERT_TRUE(DetectEndpoints(*detected));
  const CliResult found = RunCli({"endpoints", path});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out,
            std::to_string(detected->SelectionStart()) + " " + std::to_string(detected->SelectionEnd()) + "\n");
  const std::string quiet = dir.Write("quiet.wav", PcmWav16(std::vector<int16_t>(16000, 0), kRate));
  EXPECT_EQ(RunCli({"endpoints", quiet}).out, "none\n");

  auto wave = samples::MakeWave16(speech, kRate);
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
