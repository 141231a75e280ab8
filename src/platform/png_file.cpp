#include "platform/png_file.h"

#include <png.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

#include "platform/replacing_file.h"

// libpng reports errors by longjmp back to the setjmp in EncodePng or DecodePng. A longjmp skips
// destructors, so those two functions and the callbacks libpng calls hold plain data only; the
// objects that own resources (strings, the bitmap, the state buffers) live in their callers' frames,
// which the jump never leaves.

namespace melvox::platform {
namespace {

constexpr size_t kMessageSize = 200;

std::runtime_error Failure(const char* verb, const std::string& path, const std::string& reason) {
  return std::runtime_error(std::string("cannot ") + verb + " '" + path + "': " + reason);
}

std::string ErrorText(int error) { return std::generic_category().message(error); }

void OnPngError(png_structp png, png_const_charp text) {
  std::snprintf(static_cast<char*>(png_get_error_ptr(png)), kMessageSize, "%s", text);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// ---- writing ----

struct WriteState {
  int fd = -1;
  int error = 0;  // errno of a failed write
  char message[kMessageSize] = {};
  size_t pending = 0;
  unsigned char buffer[1 << 16];
};

bool WritePending(WriteState* state) {
  size_t done = 0;
  while (done < state->pending) {
    const ssize_t wrote = ::write(state->fd, state->buffer + done, state->pending - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      state->error = errno;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  state->pending = 0;
  return true;
}

void OnPngWrite(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
  while (length > 0) {
    if (state->pending == sizeof state->buffer && !WritePending(state)) png_error(png, "write failed");
    const size_t take = std::min(length, sizeof state->buffer - state->pending);
    std::memcpy(state->buffer + state->pending, data, take);
    state->pending += take;
    data += take;
    length -= take;
  }
}

void OnPngFlush(png_structp) {}

bool EncodePng(WriteState* state, const Bitmap* bitmap) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state->message, OnPngError, OnPngWarning);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(state->message, kMessageSize, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, state, OnPngWrite, OnPngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap->Width()), static_cast<png_uint_32>(bitmap->Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < bitmap->Height(); ++y) png_write_row(png, bitmap->Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return WritePending(state);
}

// ---- reading ----

struct ReadState {
  FILE* file = nullptr;
  int error = 0;       // errno of a failed read
  bool ended = false;  // the file ended before the image did
  char message[kMessageSize] = {};
};

void OnPngRead(png_structp png, png_bytep data, size_t length) {
  auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
  if (std::fread(data, 1, length, state->file) == length) return;
  if (std::ferror(state->file)) {
    state->error = errno != 0 ? errno : EIO;
  } else {
    state->ended = true;
  }
  png_error(png, "read failed");
}

// Makes the bitmap the image is read into; a separate frame, as the allocation may throw.
bool AllocateBitmap(Bitmap* bitmap, png_uint_32 width, png_uint_32 height, char* message) {
  try {
    *bitmap = Bitmap(static_cast<int32_t>(width), static_cast<int32_t>(height));
    return true;
  } catch (const std::exception& e) {
    std::snprintf(message, kMessageSize, "%s", e.what());
    return false;
  }
}

// Decodes the image after its 8-byte signature, which the caller has read and checked.
bool DecodePng(ReadState* state, Bitmap* bitmap) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state->message, OnPngError, OnPngWarning);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(state->message, kMessageSize, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, state, OnPngRead);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, Bitmap::kMaxSide, Bitmap::kMaxSide);
  png_read_info(png, info);
  const png_byte color_type = png_get_color_type(png, info);
  png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, transparency to alpha
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  if ((color_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_rowbytes(png, info) != 3 * static_cast<size_t>(width)) png_error(png, "unsupported pixel layout");
  if (!AllocateBitmap(bitmap, width, height, state->message)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t y = 0; y < bitmap->Height(); ++y) png_read_row(png, bitmap->Row(y), nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

void WritePng(const std::string& path, const Bitmap& bitmap) {
  if (bitmap.Width() == 0 || bitmap.Height() == 0) {
    throw Failure("write", path,
                  "a PNG needs at least one pixel, the bitmap is " + std::to_string(bitmap.Width()) + " x " +
                      std::to_string(bitmap.Height()));
  }
  auto state = std::make_unique<WriteState>();
  ReplacingFile file;
  if (!file.Create(path)) throw Failure("write", path, ErrorText(errno));
  state->fd = file.Descriptor();
  if (!EncodePng(state.get(), &bitmap)) {
    throw Failure("write", path, state->error != 0 ? ErrorText(state->error) : std::string(state->message));
  }
  if (!file.Commit()) throw Failure("write", path, ErrorText(errno));
}

Bitmap ReadPng(const std::string& path) {
  ReadState state;
  state.file = std::fopen(path.c_str(), "rbe");
  if (state.file == nullptr) throw Failure("read", path, ErrorText(errno));

  unsigned char signature[8];
  Bitmap bitmap;
  bool ok = false;
  std::string reason = "not a PNG file";
  if (std::fread(signature, 1, sizeof signature, state.file) == sizeof signature &&
      png_sig_cmp(signature, 0, sizeof signature) == 0) {
    ok = DecodePng(&state, &bitmap);
    if (state.error != 0) {
      reason = ErrorText(state.error);
    } else if (state.ended) {
      reason = "the file ends before the image does";
    } else {
      reason = state.message;
    }
  } else if (std::ferror(state.file)) {
    reason = ErrorText(errno);
  }
  std::fclose(state.file);
  if (!ok) throw Failure("read", path, reason);
  return bitmap;
}

}  // namespace melvox::platform
