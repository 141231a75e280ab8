#include "audio/playback_engine.h"

#include <cstdint>
#include <string>

#include "core/mv_exception.h"
#include "platform/message_box.h"
#include "platform/thread.h"

namespace melvox {
namespace {

// Shared by every engine of the process: the first drain pass after a requested stop resets the
// device and clears it; a worker thread sets it again when it ends.
std::atomic<bool> g_reset_needed{true};

// A device error text is shown through a buffer of this size (its last byte the terminator).
constexpr size_t kErrorTextCapacity = 10240;

// Waits of the worker: the range's length plus this, or kUnknownLengthWaitMs when the length is unknown.
constexpr int64_t kWaitMarginMs = 1000;
constexpr int64_t kUnknownLengthWaitMs = 999;
// A requested stop ends the worker after at most this many drain passes (one per wait).
constexpr int kMaxRetries = 20;

}  // namespace

CPlaybackEngine::CPlaybackEngine() : buffers_(new char[size_t{kBufferCount} * kBufferBytes]()) {
  for (int i = 0; i < kBufferCount; ++i) {
    headers_[i].lpData = buffers_.get() + size_t{kBufferBytes} * i;
    headers_[i].dwBufferLength = kBufferBytes;
  }
}

CPlaybackEngine::~CPlaybackEngine() {
  // Stop does not wait for a worker that is inside OnPlaybackEnded, but that worker still clears the
  // notification flag when the owner returns: wait for it before the engine goes.
  StopAndWait();
  CloseDevice();
}

bool CPlaybackEngine::SetInput(CSoundNode* node) {
  Stop();
  return CSoundNode::SetInput(node);
}

const char* CPlaybackEngine::DeviceName() const { return system_ != nullptr ? system_->Name() : ""; }

void CPlaybackEngine::ShowDeviceError(MMRESULT result) {
  // A server that went away fails every later call with MMSYSERR_NODRIVER: one message per play.
  if (result == MMSYSERR_NODRIVER && device_lost_.exchange(true)) return;
  std::string text = system_ != nullptr ? system_->ErrorText(result) : platform::WaveErrorText(result);
  if (text.size() >= kErrorTextCapacity) text.resize(kErrorTextCapacity - 1);
  platform::ShowMessageBox(text, "");
}

bool CPlaybackEngine::OpenDevice() {
  if (device_ != nullptr) return true;
  WAVEFORMATEX format;
  GetFormat(format);
  system_ = platform::CurrentWaveOutSystem();
  const MMRESULT result = system_->Open(
      format,
      [this](uint32_t message, WAVEHDR*) {
        if (message == WOM_DONE) done_event_.Set();
      },
      device_);
  if (result != MMSYSERR_NOERROR) {
    ShowDeviceError(result);
    device_.reset();
    throw CMVException(kErrAudioInit);
  }
  return true;
}

void CPlaybackEngine::CloseDevice() {
  CLock lock(lock_);
  if (device_ == nullptr) return;
  if (const MMRESULT result = device_->Reset()) ShowDeviceError(result);
  if (const MMRESULT result = device_->Close()) ShowDeviceError(result);
  device_.reset();
}

bool CPlaybackEngine::WriteBuffer(int i) {
  const uint32_t block_align = format_.nBlockAlign;
  if (device_ == nullptr || block_align == 0 || i < 0 || i >= kBufferCount) return false;
  WAVEHDR& header = headers_[i];
  uint32_t frames = kBufferBytes / block_align;
  bool read;
  try {
    read = Read(header.lpData, kBufferBytes, frames);
  } catch (const CMVException&) {
    // A file that fails while it plays ends the queuing like its end would; an exception must not
    // leave the worker thread.
    read = false;
  }
  if (!read || frames == 0 || queued_ >= end_frame_) return false;
  queued_ += frames;
  header.dwBufferLength = frames * block_align;
  MMRESULT result = device_->Unprepare(&header);
  if (result == MMSYSERR_NOERROR) result = device_->Prepare(&header);
  if (result == MMSYSERR_NOERROR) result = device_->Write(&header);
  if (result != MMSYSERR_NOERROR) {
    ShowDeviceError(result);
    return false;
  }
  return true;
}

void CPlaybackEngine::SkipFrames(int32_t start, uint32_t block_align) {
  CSoundNode* reader = GetInput()->GetInput() != nullptr ? GetInput()->GetInput() : GetInput();
  const uint32_t frames_per_buffer = kBufferBytes / block_align;
  WAVEHDR& scratch = headers_[0];
  scratch.dwBufferLength = frames_per_buffer * block_align;
  int64_t skip = int64_t{start} * block_align;
  while (skip > scratch.dwBufferLength) {
    uint32_t frames = frames_per_buffer;
    reader->Read(scratch.lpData, kBufferBytes, frames);
    skip -= scratch.dwBufferLength;
    if (frames == 0) break;
  }
  uint32_t rest = skip > 0 ? static_cast<uint32_t>(skip / block_align) : 0;
  reader->Read(scratch.lpData, kBufferBytes, rest);
}

bool CPlaybackEngine::Play(int32_t start, uint32_t end) {
  if (GetInput() == nullptr) return false;
  Stop();
  CLock lock(lock_);
  // Stored only after Stop: a worker that still plays reads it.
  start_frame_ = start;
  end_frame_ = end;
  queued_ = 0;
  // Every play has its own length: one left from the play before would make an input of unknown
  // length wait that long (plus the margin) instead of 999 ms.
  timeout_ = -1;
  device_lost_.store(false);
  if (GetLength() == -1) {
    start = 0;
    end_frame_ = 0;
  }
  Rewind();
  WAVEFORMATEX format;
  GetFormat(format);
  if (format.wBitsPerSample == 0 || format.nBlockAlign == 0) return false;
  SkipFrames(start, format.nBlockAlign);
  queued_ = static_cast<uint32_t>(start);
  if (!OpenDevice()) return false;

  if (end_frame_ != static_cast<uint32_t>(start) && format.nSamplesPerSec != 0) {
    // Both operands unsigned: a range that runs backwards wraps into a long one.
    const double ms = static_cast<double>(end_frame_ - static_cast<uint32_t>(start)) * 1000.0 /
                      static_cast<double>(format.nSamplesPerSec);
    timeout_ = ms < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(ms) : INT32_MAX;
    if (timeout_ == 0) timeout_ = -1;
  }

  if (const MMRESULT result = device_->Pause()) ShowDeviceError(result);
  // Buffers that a stopped play handed back after its worker ended left the event set: this play's
  // first wait must not end on them.
  done_event_.Reset();
  for (WAVEHDR& header : headers_) header.dwFlags = 0;
  for (int i = 0; i < kBufferCount; ++i) {
    if (!WriteBuffer(i)) {
      // The worker counts the headers that were never queued as finished.
      for (int j = i; j < kBufferCount; ++j) headers_[j].dwFlags |= WHDR_DONE;
      break;
    }
  }
  stop_event_.Reset();
  // A device lost while queuing returns nothing more: the worker's first pass then ends at once.
  if (device_lost_.load()) done_event_.Set();
  playing_.store(1);
  if (!Start()) {
    playing_.store(0);
    return false;
  }
  if (const MMRESULT result = device_->Restart()) ShowDeviceError(result);
  return true;
}

void CPlaybackEngine::StopAndWait() {
  Stop();
  WaitForEnd();
}

int32_t CPlaybackEngine::GetPlayPosition() {
  CLock lock(lock_);
  uint32_t samples = 0;
  if (device_ == nullptr || device_->GetPosition(samples) != MMSYSERR_NOERROR) return -1;
  return static_cast<int32_t>(static_cast<uint32_t>(start_frame_) + samples);
}

void CPlaybackEngine::Stop() {
  if (IsRunning()) {
    stop_event_.Set();
    // From inside OnPlaybackEnded the worker is the caller's own thread, or is about to end.
    if (in_end_notification_.load() == 0) WaitForEnd();
    while (playing_.load() != 0) platform::Sleep(10);
  }
  CloseDevice();
}

bool CPlaybackEngine::ServeHeaders(int wait_result, int& retries, bool& natural_end) {
  bool stopping = false;
  bool stop_now = false;
  if (wait_result == 0) {
    ++retries;
    natural_end = false;
    stopping = true;
  } else if (wait_result == platform::kWaitTimeout) {
    retries = kMaxRetries + 1;
  }
  if (retries > kMaxRetries) {
    stopping = true;
    stop_now = true;
  }
  int finished = 0;
  for (int i = 0; i < kBufferCount; ++i) {
    CSoundNode* input = GetInput();
    if (input != nullptr && input->GetInput() != nullptr) {
      uint32_t samples = 0;
      if (device_->GetPosition(samples) == MMSYSERR_NOERROR) {
        SetPosition(static_cast<int32_t>(static_cast<uint32_t>(start_frame_) + samples));
      }
      platform::Sleep(0);
    }
    WAVEHDR& header = headers_[i];
    // A buffer back from a server that went away: nothing more will play. Say so once and end.
    if (header.dwFlags & WHDR_DEVICE_ERROR) ShowDeviceError(MMSYSERR_NODRIVER);
    if (device_lost_.load()) stopping = stop_now = true;
    if (!stopping) {
      if (!(header.dwFlags & WHDR_DONE)) continue;
      if (WriteBuffer(i)) {
        platform::Sleep(0);
        continue;
      }
      // The frames ran out (or the device refused the buffer): drain this header as on a stop.
      stop_now = true;
    }
    if (g_reset_needed.load() && !stop_now) {
      if (const MMRESULT result = device_->Reset()) ShowDeviceError(result);
      g_reset_needed.store(false);
    }
    if (header.dwFlags & WHDR_DONE) {
      if (header.dwFlags & WHDR_PREPARED) {
        if (const MMRESULT result = device_->Unprepare(&header)) ShowDeviceError(result);
      }
      ++finished;
    }
    if (finished == kBufferCount || retries > kMaxRetries) return true;
    platform::Sleep(0);
  }
  // A lost device may keep buffers it will never return; closing it returns them.
  return device_lost_.load();
}

uint32_t CPlaybackEngine::Run() {
  platform::RaiseCurrentThreadPriority();
  platform::Event* events[] = {&stop_event_, &done_event_};
  int retries = 0;
  bool natural_end = true;
  for (;;) {
    const int64_t wait_ms = timeout_ == -1 ? kUnknownLengthWaitMs : int64_t{timeout_} + kWaitMarginMs;
    if (ServeHeaders(platform::WaitForAny(events, 2, wait_ms), retries, natural_end)) break;
  }
  playing_.store(0);
  if (owner_ != nullptr && natural_end) {
    in_end_notification_.store(1);
    owner_->OnPlaybackEnded();
    in_end_notification_.store(0);
  }
  g_reset_needed.store(true);
  return kExitCode;
}

}  // namespace melvox
