// The sound devices the commands play and record on: the --device option of `melvox play` and
// `melvox record`, and the command line's own fallback to the null device.
#pragma once

#include <string>

#include "cli.h"

namespace melvox::cli {

// The backend that --device names: "pulse", "null", or "" without the option. UsageError for any
// other name.
std::string DeviceOption(const ParsedArgs& args);

// How a command tells of a device that does not open: as the player does (the device's text in a
// message box) or as the recorder does (no message box).
enum class DeviceFailure { kMessageBox, kQuiet };

// Puts the output and input backend that name names in use; with an empty name PulseAudio when a
// server answers, else the null device, which the command's "device: null" line then announces (the
// library itself never falls back to it). "pulse" without a server tells of it as failure says and
// throws CMVException 13.
void UseDevices(const std::string& name, DeviceFailure failure = DeviceFailure::kQuiet);

}  // namespace melvox::cli
