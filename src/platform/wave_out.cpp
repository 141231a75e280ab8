#include "platform/wave_out.h"

namespace melvox::platform {

std::string WaveErrorText(MMRESULT result) {
  switch (result) {
    case MMSYSERR_NOERROR:
      return "The audio device reported no error.";
    case MMSYSERR_ERROR:
      return "The audio device failed.";
    case MMSYSERR_BADDEVICEID:
      return "There is no such audio device.";
    case MMSYSERR_INVALHANDLE:
      return "The audio device is not open.";
    case MMSYSERR_NODRIVER:
      return "No sound server is available.";
    case MMSYSERR_NOMEM:
      return "The audio device is out of memory.";
    case MMSYSERR_INVALPARAM:
      return "An invalid buffer was passed to the audio device.";
    case WAVERR_BADFORMAT:
      return "The audio device cannot play this sample format.";
    case WAVERR_STILLPLAYING:
      return "The audio device is still playing the buffer.";
    case WAVERR_UNPREPARED:
      return "The buffer was not prepared for the audio device.";
    default:
      return "The audio device reported error " + std::to_string(result) + ".";
  }
}

bool IsPlayableFormat(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
         format.nChannels >= 1 && format.nChannels <= 8 && format.nSamplesPerSec >= 1 &&
         format.nSamplesPerSec <= 384000 && format.nBlockAlign == format.wBitsPerSample / 8 * format.nChannels;
}

}  // namespace melvox::platform
