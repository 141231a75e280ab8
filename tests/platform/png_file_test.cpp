#include "platform/png_file.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace melvox::platform {
namespace {

using testing::TempDir;

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The message of the runtime_error that f throws ("" when it throws none).
template <typename F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

TEST(PngFileTest, RoundTripKeepsEveryPixelAndReplacesAnOldFile) {
  TempDir dir;
  Bitmap bitmap(37, 11);
  for (int32_t i = 0; i < 37 * 11; ++i) bitmap.SetPixel(i % 37, i / 37, RGB(7 * i, 23 * (i / 37), i * i));
  const std::string path = dir.File("graph.png");
  testing::WriteFileBytes(path, {1, 2, 3});
  WritePng(path, bitmap);
  EXPECT_EQ(ReadPng(path), bitmap);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"graph.png"}) << "no temporary file stays behind";
}

TEST(PngFileTest, ReadsGreyPaletteAndAlphaImagesAsRgb) {
  // Hand-made files: 2 x 2 8-bit grey; 3 x 1 2-bit palette red, green, blue; 2 x 1 RGBA with
  // alpha 0 and 255.
  const std::pair<const char*, std::vector<COLORREF>> files[] = {
      {"89504e470d0a1a0a0000000d494844520000000200000002080000000057dd52f80000000e4944415478da6360086558f51f0003"
       "ad01ff7a93847f0000000049454e44ae426082",
       {RGB(0, 0, 0), RGB(85, 85, 85), RGB(170, 170, 170), RGB(255, 255, 255)}},
      {"89504e470d0a1a0a0000000d4948445200000003000000010203000000668efc2700000009504c5445ff000000ff000000ff2d4a"
       "cd8a0000000a4944415478da63900000001a001980008ebb0000000049454e44ae426082",
       {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}},
      {"89504e470d0a1a0a0000000d4948445200000002000000010806000000f4227f8a000000114944415478da63e012916338312de5"
       "3f00084202fe7fcd33c20000000049454e44ae426082",
       {RGB(10, 20, 30), RGB(200, 150, 100)}},  // the alpha is dropped, not applied
  };
  TempDir dir;
  for (const auto& [hex, pixels] : files) {
    const Bitmap bitmap = ReadPng(dir.Write("image.png", FromHex(hex)));
    std::vector<COLORREF> read;
    for (int32_t i = 0; i < bitmap.Width() * bitmap.Height(); ++i)
      read.push_back(bitmap.GetPixel(i % bitmap.Width(), i / bitmap.Width()));
    EXPECT_EQ(read, pixels);
  }
}

TEST(PngFileTest, ErrorsNameThePathAndTheReasonAndAFailedWriteLeavesTheOldFile) {
  TempDir dir;
  const std::string text = dir.Write("text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
  EXPECT_EQ(ErrorOf([&] { ReadPng(text); }), "cannot read '" + text + "': not a PNG file");
  EXPECT_EQ(ErrorOf([&] { ReadPng(dir.File("none.png")); }),
            "cannot read '" + dir.File("none.png") + "': No such file or directory");
  WritePng(dir.File("whole.png"), Bitmap(20, 20, RGB(1, 2, 3)));
  std::vector<uint8_t> bytes = testing::ReadFileBytes(dir.File("whole.png"));
  bytes.resize(bytes.size() - 20);
  const std::string cut = dir.Write("cut.png", bytes);
  EXPECT_NE(ErrorOf([&] { ReadPng(cut); }).find("cannot read '" + cut + "': "), std::string::npos);

  const std::string missing = dir.File("missing/graph.png");
  EXPECT_EQ(ErrorOf([&] { WritePng(missing, Bitmap(3, 2)); }),
            "cannot write '" + missing + "': No such file or directory");
  EXPECT_EQ(ErrorOf([&] { WritePng(dir.File("empty.png"), Bitmap(0, 5)); }),
            "cannot write '" + dir.File("empty.png") + "': a PNG needs at least one pixel, the bitmap is 0 x 5");

  // A file size limit below the image's size makes a write fail midway (EFBIG, with SIGXFSZ ignored):
  // the old file at the path must stay as it was, and the temporary file must go.
  TempDir out;
  const std::string path = out.File("graph.png");
  testing::WriteFileBytes(path, {1, 2, 3});
  const std::string error = ErrorOf([&] {
    Bitmap noise(300, 200);  // incompressible enough to pass 100 bytes
    for (int32_t i = 0; i < 300 * 200; ++i) noise.SetPixel(i % 300, i / 300, static_cast<COLORREF>(i * 2654435761u));
    const testing::FileSizeLimit limit(100);
    WritePng(path, noise);
  });
  EXPECT_EQ(error, "cannot write '" + path + "': File too large");
  EXPECT_EQ(testing::ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(FilesIn(out.Path()), std::vector<std::string>{"graph.png"});
}

}  // namespace
}  // namespace melvox::platform
