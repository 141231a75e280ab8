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
    device_->Prepare(&header);
    device_->AddBuffer(&header);
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

void CRecordingEngine::TakeBuffer(WAVEHDR& header, bool stopping, int32_t& reports) {
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
  // Taken: a buffer that cannot be given back must not be written again on the next pass.
  header.dwFlags &= ~WHDR_DONE;
  device_->Unprepare(&header);
  if (!stopping && !device_lost_.load()) {
    device_->Prepare(&header);
    if (device_->AddBuffer(&header) == MMSYSERR_NODRIVER) device_lost_.store(true);
  }
}

uint32_t CRecordingEngine::Run() {
  platform::Event* events[] = {&stop_event_, &data_event_};
  int32_t reports = 0;
  for (;;) {
    const bool stopping = platform::WaitForAny(events, 2, platform::kWaitInfinite) == 0;
    // Take every returned buffer, oldest first, until a whole round of the ring finds none.
    int not_ready = 0;
    for (int index = next_index_; not_ready < kBufferCount; index = (index + 1) % kBufferCount) {
      WAVEHDR& header = headers_[index];
      const uint32_t flags = header.dwFlags;
      if ((flags & WHDR_DONE) && (flags & WHDR_PREPARED)) {
        TakeBuffer(header, stopping, reports);
        next_index_ = (index + 1) % kBufferCount;
        not_ready = 0;
      } else {
        ++not_ready;
      }
    }
    if (stopping) return 0;
  }
}

}  // namespace melvox
