#include "sound/ogg_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <vorbis/vorbisfile.h>

#include "core/mv_exception.h"
#include "sound/vorbis_headers.h"

namespace melvox {
namespace {

// A stream may claim more frames than its pages decode to (a cut-off or damaged file); the frames
// that did not decode play as silence. Such silence is limited to this many bytes per byte of the
// file, so that a few bytes can never claim gigabytes of memory.
constexpr int64_t kMaxMissingPcmPerFileByte = 128;

// Decoded sounds live in one block addressed by 32-bit offsets.
constexpr int64_t kMaxPcmBytes = INT32_MAX;

// The decoder is C code: a CMVException from the file reader must not unwind through it. The
// callbacks catch it, report failure to the decoder, and keep it here to be thrown once the
// decoder's state is freed.
struct DecoderInput {
  CFileReader* reader;
  std::optional<CMVException> error;
};

size_t ReadCallback(void* buffer, size_t size, size_t count, void* context) {
  auto* input = static_cast<DecoderInput*>(context);
  if (size == 0 || input->error) return 0;
  const uint64_t wanted = std::min<uint64_t>(uint64_t{size} * count, UINT32_MAX);
  uint32_t got = 0;
  try {
    input->reader->Read(buffer, static_cast<uint32_t>(wanted), got);
  } catch (const CMVException& error) {
    input->error = error;
    errno = EIO;
    return 0;
  }
  return got / size;
}

int SeekCallback(void* context, ogg_int64_t offset, int whence) {
  auto* input = static_cast<DecoderInput*>(context);
  if (input->error) return -1;
  try {
    input->reader->Seek(offset, whence);
  } catch (const CMVException& error) {
    input->error = error;
    return -1;
  }
  return 0;
}

int CloseCallback(void* context) {
  static_cast<DecoderInput*>(context)->reader->Close();
  return 0;
}

long TellCallback(void* context) {
  auto* input = static_cast<DecoderInput*>(context);
  if (input->error) return -1;
  int64_t position = 0;
  try {
    input->reader->GetPosition(position);
  } catch (const CMVException& error) {
    input->error = error;
    return -1;
  }
  return static_cast<long>(position);
}

// Frees the decoder's state whichever way Open leaves.
class VorbisFileGuard {
 public:
  explicit VorbisFileGuard(OggVorbis_File* file) : file_(file) {}
  ~VorbisFileGuard() { ov_clear(file_); }
  VorbisFileGuard(const VorbisFileGuard&) = delete;
  VorbisFileGuard& operator=(const VorbisFileGuard&) = delete;

 private:
  OggVorbis_File* file_;
};

}  // namespace

COggSource::COggSource() = default;

COggSource::~COggSource() = default;

void COggSource::Open(std::unique_ptr<CFileReader> reader) {
  file_ = std::move(reader);
  const int64_t file_size = file_->GetSize();
  CheckVorbisHeaders(*file_);
  file_->Seek(0, 0);
  DecoderInput input{file_.get(), std::nullopt};
  const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};

  OggVorbis_File vorbis;
  std::memset(&vorbis, 0, sizeof vorbis);
  // A failed open has already freed the state; ov_clear on it again is harmless.
  VorbisFileGuard guard(&vorbis);
  const int opened = ov_open_callbacks(&input, &vorbis, nullptr, 0, callbacks);
  if (input.error) throw *input.error;
  if (opened < 0) throw CMVException(kErrIncorrectWaveFormat);

  const vorbis_info* info = ov_info(&vorbis, -1);
  const ogg_int64_t claimed = ov_pcm_total(&vorbis, -1);
  if (info == nullptr || info->channels <= 0 || info->rate <= 0 || info->rate > UINT32_MAX || claimed < 0) {
    throw CMVException(kErrIncorrectWaveFormat);
  }
  const auto channels = static_cast<uint16_t>(info->channels);
  format_ = MakePcmFormat(channels, static_cast<uint32_t>(info->rate), 16);
  const int64_t frame_bytes = int64_t{2} * channels;
  // The stream states its length in frames; only the low 32 bits count.
  const int64_t claimed_bytes = frame_bytes * static_cast<uint32_t>(claimed);

  // Room for the whole stream at once (what the file's size can back), so decoding never copies.
  pcm_.clear();
  pcm_.reserve(static_cast<size_t>(std::min({claimed_bytes, kMaxPcmBytes, kMaxMissingPcmPerFileByte * file_size})));
  char chunk[4096];
  int bitstream = 0;
  for (;;) {
    const long got = ov_read(&vorbis, chunk, sizeof chunk, 0, 2, 1, &bitstream);
    if (input.error) throw *input.error;
    if (got == 0) break;
    if (got == OV_HOLE) continue;  // a hole in the data: skipped
    // The decoder could not go on (a stream it cannot set up): asking it again would decode with the
    // tables it left half made.
    if (got < 0) throw CMVException(kErrIncorrectWaveFormat);
    const int64_t room = std::min(claimed_bytes, kMaxPcmBytes) - static_cast<int64_t>(pcm_.size());
    if (room <= 0) break;
    const auto take = static_cast<size_t>(std::min<int64_t>(got, room));
    pcm_.insert(pcm_.end(), chunk, chunk + take);
  }

  const int64_t decoded = static_cast<int64_t>(pcm_.size());
  const int64_t allowed = std::min(claimed_bytes, decoded + kMaxMissingPcmPerFileByte * file_size);
  if (allowed > kMaxPcmBytes) throw CMVException(kErrUnsupportedWaveFormat);
  total_frames_ = static_cast<int32_t>(allowed / frame_bytes);
  pcm_.resize(static_cast<size_t>(total_frames_ * frame_bytes), 0);
  read_position_ = 0;
  delivered_ = 0;
  exhausted_ = pcm_.empty() ? 1 : 0;
}

int32_t COggSource::GetLength() { return total_frames_; }

bool COggSource::Read(void* buffer, uint32_t capacity, uint32_t& frames) {
  const uint32_t frame_bytes = format_.nBlockAlign;
  if (format_.nChannels == 0 || frame_bytes == 0 || uint64_t{frames} * frame_bytes > capacity) {
    frames = 0;
    return false;
  }
  uint32_t bytes = frames * frame_bytes;
  ReadRaw(buffer, bytes);
  frames = bytes / frame_bytes;
  delivered_ += frames;
  return true;
}

void COggSource::Rewind() {
  read_position_ = 0;
  exhausted_ = 0;
  delivered_ = 0;
}

uint32_t COggSource::GetDelivered() { return delivered_; }

std::unique_ptr<CWave> COggSource::GetWave() { return DecodeWhole(GetLength()); }

bool COggSource::ReadRaw(void* buffer, uint32_t& bytes) {
  const auto total = static_cast<uint32_t>(pcm_.size());
  if (uint64_t{read_position_} + bytes > total) {
    bytes = total - read_position_;
    exhausted_ = 1;
  }
  if (bytes > 0) std::memcpy(buffer, pcm_.data() + read_position_, bytes);
  read_position_ += bytes;
  return true;
}

}  // namespace melvox
