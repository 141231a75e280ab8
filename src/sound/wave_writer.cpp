#include "sound/wave_writer.h"

#include <algorithm>

#include "core/mv_exception.h"
#include "platform/riff_writer.h"

namespace melvox {

bool WriteWaveHeader(platform::RiffWriter& file, const WAVEFORMATEX& format, uint32_t data_bytes) {
  constexpr uint32_t kFormatBytes = 16;  // the PCM format record without its extra-size field
  const uint32_t pad = data_bytes & 1u;
  return file.CreateRiffChunk("WAVE", kWaveHeaderBytes - 8 + data_bytes + pad) && file.WriteFourCc("fmt ") &&
         file.WriteUint32(kFormatBytes) && file.Write(&format, kFormatBytes) && file.WriteFourCc("data") &&
         file.WriteUint32(data_bytes);
}

void WriteWaveFile(const char* path, const CWave& wave) {
  WAVEFORMATEX format = wave.Format();
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) throw CMVException(kErrUnsupportedWaveFormat);
  const uint16_t channels = format.nChannels != 0 ? format.nChannels : 1;
  format = MakePcmFormat(channels, format.nSamplesPerSec, format.wBitsPerSample);

  // The RIFF size field (header, data and pad byte) must stay within 32 bits.
  const uint64_t counted = uint64_t{wave.SampleCount()} * format.nBlockAlign;
  const uint64_t largest = UINT32_MAX - (kWaveHeaderBytes - 8) - 1;
  uint32_t data_bytes = static_cast<uint32_t>(std::min<uint64_t>({counted, wave.Size(), largest}));
  data_bytes -= data_bytes % format.nBlockAlign;

  // A chunk of odd size is followed by a pad byte, which the RIFF size counts.
  const uint32_t pad = data_bytes & 1u;

  platform::RiffWriter file;
  if (!file.CreateOutput(path)) throw CMVException(kErrCannotOpenFile);
  bool ok = WriteWaveHeader(file, format, data_bytes);
  const uint8_t* samples = wave.Data();
  if (format.wBitsPerSample == 8 && wave.Kind() == SampleKind::kSigned) {
    uint8_t block[4096];
    for (uint32_t done = 0; ok && done < data_bytes;) {
      const uint32_t take = std::min<uint32_t>(sizeof block, data_bytes - done);
      for (uint32_t i = 0; i < take; ++i) block[i] = static_cast<uint8_t>(samples[done + i] + 128);
      ok = file.Write(block, take);
      done += take;
    }
  } else if (data_bytes > 0) {
    ok = ok && file.Write(samples, data_bytes);
  }
  if (pad != 0) ok = ok && file.Write("", 1);
  if (!file.Close() || !ok) throw CMVException(kErrFileIo);
}

}  // namespace melvox
