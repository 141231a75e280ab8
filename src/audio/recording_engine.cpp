#include "audio/recording_engine.h"

#include <algorithm>
#include <cstring>

#include "core/mv_exception.h"
#include "sound/wave_writer.h"

namespace melvox {
namespace {

constexpr uint32_t kRecordingRate = 22050;

}  // namespace

WAVEFORMATEX RecordingFormat() { return MakePcmFormat(1, kRecordingRate, 16); }

CRecordingEngine::CRecordingEngine() : format_(RecordingFormat()) {}

CRecordingEngine::~CRecordingEngine() { Finish(); }

const char* CRecordingEngine::DeviceName() const { return system_ != nullptr ? system_->Name() : ""; }

void CRecordingEngine::OpenDevice() {
  system_ = platform::CurrentWaveInSystem();
  const MMRESULT result = system_->Open(
      format_,
      [this](uint32_t message, WAVEHDR*) {
        if (message == WIM_DATA) data_event_.Set();
      },
      device_);
  if (result != MMSYSERR_NOERROR) {
    device_.reset();
    throw CMVException(kErrAudioInit);
  }
}

bool CRecordingEngine::WriteHeader() {
  return file_.Seek(0) && WriteWaveHeader(file_, format_, data_bytes_) && file_.Flush();
}

void CRecordingEngine::OpenEmpty(const char* path) {
  data_bytes_ = 0;
  if (!file_.OpenPrivate(path)) throw CMVException(kErrCannotOpenFile);
  // On disk at once, so that the file reads as an empty recording until samples follow.
  if (!WriteHeader()) {
    file_.Discard();
    throw CMVException(kErrFileIo);
  }
}

void CRecordingEngine::Clear(const char* path) {
  Finish();
  OpenEmpty(path);
  if (!file_.Close()) throw CMVException(kErrFileIo);
}

void CRecordingEngine::Start(const char* path) {
  Finish();
  OpenEmpty(path);
  write_failed_ = false;
  // A peak left over from the last buffers of the previous recording does not belong to this one.
  peak_ = 0;
  try {
    OpenDevice();
  } catch (const CMVException&) {
    file_.Close();
    throw;
  }
  next_index_ = 0;
  device_lost_.store(false);
  for (int i = 0; i < kBufferCount; ++i) {
    WAVEHDR& header = headers_[i];
    header.lpData = buffers_[i];
    header.dwBufferLength = kBufferBytes;
    header.dwFlags = 0;
    header.dwLoops = 0;
    header.dwBytesRecorded = 0;
    // Failures here leave a buffer out of the ring; the recording goes on with the others.
    queued_[i] = device_->Prepare(&header) == MMSYSERR_NOERROR && device_->AddBuffer(&header) == MMSYSERR_NOERROR;
  }
  stop_event_.Reset();
  device_->Start();
  if (!IsRunning()) CThread::Start();
}

void CRecordingEngine::Stop() {
  const bool recording = device_ != nullptr;
  const bool written = Finish();
  if (!recording) return;
  // The file holds what came before the server went away or the disk filled: the caller hears that
  // the rest is missing, the lost server first.
  if (device_lost_.load()) throw CMVException(kErrAudioInit);
  if (!written) throw CMVException(kErrFileIo);
}

bool CRecordingEngine::Finish() {
  if (device_ == nullptr) return true;
  stop_event_.Set();
  WaitForEnd();
  // Results ignored: whatever the device says, it is closed and forgotten, and the file completed.
  device_->Reset();
  device_->Stop();
  for (WAVEHDR& header : headers_) device_->Unprepare(&header);
  device_->Close();
  device_.reset();
  // After a failed write the header counts the whole frames that reached the file before it.
  if (write_failed_) {
    const uint64_t on_disk = file_.WrittenEnd() > kWaveHeaderBytes ? file_.WrittenEnd() - kWaveHeaderBytes : 0;
    data_bytes_ = static_cast<uint32_t>(std::min<uint64_t>(data_bytes_, on_disk)) & ~1u;
  }
  const bool completed = WriteHeader();
  return file_.Close() && completed && !write_failed_;
}

void CRecordingEngine::TakeBuffer(int index, bool stopping, int32_t& reports) {
  WAVEHDR& header = headers_[index];
  queued_[index] = false;
  if (header.dwFlags & WHDR_DEVICE_ERROR) device_lost_.store(true);
  const uint32_t bytes = header.dwBytesRecorded;
  // After a failed write nothing more is written, so that the file holds the recording up to that
  // point without a gap.
  if (!write_failed_ && !file_.Write(header.lpData, bytes)) write_failed_ = true;
  if (!write_failed_) data_bytes_ += bytes;
  for (uint32_t at = 0; at + 2 <= bytes; at += 2) {
    int16_t sample;
    std::memcpy(&sample, header.lpData + at, 2);
    // The magnitude in 16-bit arithmetic: -32768 has none (it wraps to itself), so it never counts.
    const auto magnitude = static_cast<int16_t>(sample < 0 ? -sample : sample);
    if (magnitude > peak_) peak_ = magnitude;
  }
  if (reports++ == kBuffersPerLevel - 1 && owner_ != nullptr) {
    owner_->OnLevel(peak_);
    reports = 0;
    peak_ = 0;
  }
  device_->Unprepare(&header);
  if (!stopping && !device_lost_.load() && device_->Prepare(&header) == MMSYSERR_NOERROR) {
    const MMRESULT added = device_->AddBuffer(&header);
    if (added == MMSYSERR_NODRIVER) device_lost_.store(true);
    queued_[index] = added == MMSYSERR_NOERROR;
  }
}

uint32_t CRecordingEngine::Run() {
  platform::Event* events[] = {&stop_event_, &data_event_};
  int32_t reports = 0;
  for (;;) {
    const bool stopping = platform::WaitForAny(events, 2, platform::kWaitInfinite) == 0;
    // Take the returned buffers strictly in ring order from the oldest, and stop at the first one
    // still being filled: a later buffer that completes while this pass looks at an earlier one waits
    // for it, or the file would get the two swapped. Buffers out of the ring are passed over.
    for (int looked = 0; looked < kBufferCount; ++looked) {
      WAVEHDR& header = headers_[next_index_];
      if (queued_[next_index_]) {
        if (!(header.dwFlags & WHDR_DONE)) break;
        TakeBuffer(next_index_, stopping, reports);
      }
      next_index_ = (next_index_ + 1) % kBufferCount;
    }
    if (stopping) return 0;
  }
}

}  // namespace melvox
