// `melvox graph`, run as a user would: the picture shows what a person expects of the sound, and bad
// input ends in a clear message with nothing written.
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "platform/png_file.h"
#include "samples/speech_like.h"
#include "support/sound_data.h"
#include "support/temp_dir.h"

namespace melvox::testing {
namespace {

using platform::Bitmap;

constexpr uint32_t kRate = 22050;
constexpr int32_t kWidth = 420;   // two columns per 10 ms step of the 2.1 s sound
constexpr int32_t kHeight = 100;  // of each graph
constexpr platform::COLORREF kGrey = platform::RGB(100, 100, 100);
constexpr platform::COLORREF kWhite = platform::RGB(255, 255, 255);

// Silence, a loud vowel at 150 Hz, silence, a quieter vowel at 250 Hz, silence, a hiss, silence.
std::vector<int16_t> Sentence() {
  std::vector<int16_t> sound;
  auto add = [&sound](std::vector<int16_t> part) { sound.insert(sound.end(), part.begin(), part.end()); };
  auto silence = [](int ms) { return std::vector<int16_t>(kRate * ms / 1000, 0); };
  add(silence(300));
  add(Harmonic(kRate / 150.0, 8, kRate / 2, 9000.0));
  add(silence(200));
  add(Harmonic(kRate / 250.0, 8, kRate / 2, 4000.0));
  add(silence(200));
  add(samples::WhiteNoise(kRate, 200, 8000.0f, 3));
  add(silence(200));
  return sound;
}
// Columns of each part (2 per 10 ms step), a few columns inside its edges.
struct Span {
  int32_t first, last;
};
constexpr Span kVowelA{64, 156}, kVowelB{204, 296}, kHiss{344, 376};
constexpr Span kSilences[] = {{4, 56}, {164, 196}, {304, 336}, {384, 416}};

// Rows of graph g (0 envelope, 1 pitch, 2 crossing, 3 spectrum) that are grey in column x.
std::vector<int32_t> GreyRows(const Bitmap& picture, int g, int32_t x) {
  std::vector<int32_t> rows;
  for (int32_t y = 1; y < kHeight - 1; ++y) {
    if (picture.GetPixel(x, g * (kHeight + 1) + y) == kGrey) rows.push_back(y);
  }
  return rows;
}
// Top row of a curve (2 pixels thick) in column x of graph g, or -1.
int32_t CurveTop(const Bitmap& picture, int g, int32_t x) {
  const std::vector<int32_t> rows = GreyRows(picture, g, x);
  return rows.empty() ? -1 : rows.front();
}
bool Coloured(const Bitmap& picture, int32_t x) {
  for (int32_t y = 1; y < kHeight - 2; ++y) {
    const platform::COLORREF c = picture.GetPixel(x, 3 * (kHeight + 1) + y);
    if (c != kWhite && c != kGrey) return true;
  }
  return false;
}

TEST(GraphCommandTest, ThePictureShowsWhatThePersonHears) {
  TempDir folder;
  const std::string in = folder.Write("sentence.wav", PcmWav16(Sentence(), kRate));
  const std::string out = folder.File("graphs.png");
  const CliResult result = RunCli({"graph", in, "-o", out, "--size", "420x100"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Bitmap picture = platform::ReadPng(out);
  ASSERT_EQ(picture.Width(), kWidth);
  ASSERT_EQ(picture.Height(), 4 * kHeight + 3);
  for (int g = 1; g < 4; ++g) EXPECT_EQ(picture.GetPixel(kWidth / 2, g * (kHeight + 1) - 1), kWhite) << g;

  // Envelope: bars symmetric about the middle, taller for the louder vowel, none in silence.
  auto bar = [&](int32_t x) { return GreyRows(picture, 0, x); };
  for (const int32_t x : {100, 250, 360}) {
    const std::vector<int32_t> rows = bar(x);
    ASSERT_FALSE(rows.empty()) << x;
    EXPECT_NEAR(kHeight / 2 - rows.front(), rows.back() + 1 - kHeight / 2, 1) << x;
  }
  EXPECT_GT(bar(100).size(), bar(250).size() + 20);
  for (const Span& quiet : kSilences) EXPECT_TRUE(bar((quiet.first + quiet.last) / 2).empty());

  // Pitch: the 250 Hz vowel (190 Hz above the 60 Hz floor) reaches 0.9 of the height, the 150 Hz one
  // 90/190 of that; unvoiced columns lie 4 pixels above the bottom. One pixel is a 2 Hz error.
  const int32_t scale = 90;
  for (int32_t x = kVowelA.first; x <= kVowelA.last; x += 8) {
    EXPECT_NEAR(CurveTop(picture, 1, x), kHeight - scale * 90 / 190 - 4 - 1, 2) << x;
  }
  for (int32_t x = kVowelB.first; x <= kVowelB.last; x += 8) {
    EXPECT_NEAR(CurveTop(picture, 1, x), kHeight - scale - 4 - 1, 2) << x;
  }
  for (const int32_t x : {30, 180, 360}) EXPECT_EQ(CurveTop(picture, 1, x), kHeight - 5) << x;

  // Crossing: only the hiss rises.
  for (int32_t x = kHiss.first; x <= kHiss.last; x += 4) EXPECT_LT(CurveTop(picture, 2, x), kHeight - 20) << x;
  for (const int32_t x : {100, 250}) EXPECT_EQ(CurveTop(picture, 2, x), kHeight - 5) << x;

  // Spectrum: colour over the vowels, none where it is silent.
  for (int32_t x = kVowelA.first; x <= kVowelA.last; x += 4) EXPECT_TRUE(Coloured(picture, x)) << x;
  for (int32_t x = kVowelB.first; x <= kVowelB.last; x += 4) EXPECT_TRUE(Coloured(picture, x)) << x;
  for (const Span& quiet : kSilences) {
    for (int32_t x = quiet.first; x <= quiet.last; ++x) EXPECT_FALSE(Coloured(picture, x)) << x;
  }

  // One graph alone, at its own size.
  const CliResult pitch = RunCli({"graph", in, "-o", out, "--types", "4", "--size", "50x30", "--detect"});
  ASSERT_EQ(pitch.status, 0) << pitch.err;
  EXPECT_EQ(platform::ReadPng(out).Height(), 30);
}

TEST(GraphCommandTest, BadInputEndsInAMessageAndWritesNothing) {
  TempDir folder;
  const std::string in = folder.Write("tone.wav", PcmWav16(samples::Tone(kRate, 200.0f, 300, 8000.0f), kRate));
  const std::string out = folder.File("out.png");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{folder.File("missing.wav"), "-o", out}, 1, "Cannot open file\n"},
      {{in, "-o", out, "--size", "0x150"}, 1, "Cannot draw graphs of 0x150 pixels"},
      {{in, "-o", out, "--size", "10001x10"}, 1, "Cannot draw graphs of 10001x10 pixels"},
      {{in, "-o", out, "--size", "800x2001"}, 1, "each graph must be 1 to 10000 pixels wide and 1 to 2000 high"},
      {{in, "-o", out, "--size", "wide"}, 2, "--size must be WIDTHxHEIGHT"},
      {{in, "-o", out, "--types", "16"}, 2, "--types must be a whole number from 1 to 15"},
      {{in, "-o", out, "--level", "-20"}, 2, "--level needs --slowed"},
      {{in}, 2, "-o OUT.png is required"},
      {{in, "-o", folder.File("no/such/folder/out.png")}, 1, "cannot write"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"graph"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = RunCli(args);
    EXPECT_EQ(result.status, c.status) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    struct stat info {};
    EXPECT_NE(::stat(out.c_str(), &info), 0) << c.message;
  }
}

}  // namespace
}  // namespace melvox::testing
