#include "device_choice.h"

#include "core/mv_exception.h"
#include "platform/message_box.h"
#include "platform/wave_backend.h"

namespace melvox::cli {

std::string DeviceOption(const ParsedArgs& args) {
  const std::string name = args.Value("--device", "");
  if (args.Has("--device") && name != "pulse" && name != "null") {
    throw UsageError("--device must be pulse or null (got '" + name + "')");
  }
  return name;
}

void UseDevices(const std::string& name, DeviceFailure failure) {
  const MMRESULT result = platform::UseWaveBackend(name.empty() ? "pulse" : name);
  if (result == MMSYSERR_NOERROR) return;
  if (name.empty()) {
    platform::UseWaveBackend("null");
    return;
  }
  if (failure == DeviceFailure::kMessageBox) platform::ShowMessageBox(platform::WaveErrorText(result), "");
  throw CMVException(kErrAudioInit);
}

}  // namespace melvox::cli
