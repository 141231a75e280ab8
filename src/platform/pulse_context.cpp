#include "platform/pulse_context.h"

#include <utility>

namespace melvox::platform {
namespace {

// How long a server may take to accept the connection before we call it absent.
constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;

struct ConnectWait {
  PulseContext* context;
  bool timed_out = false;
};

void OnConnectTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
  auto* wait = static_cast<ConnectWait*>(data);
  wait->timed_out = true;
  wait->context->Signal();
}

}  // namespace

void PulseContext::OnStateChanged(pa_context*, void* self) { static_cast<PulseContext*>(self)->Signal(); }

std::shared_ptr<PulseContext> PulseContext::Connect(std::string& error) {
  std::shared_ptr<PulseContext> self(new PulseContext);
  self->loop_ = pa_threaded_mainloop_new();
  if (self->loop_ == nullptr) {
    error = "cannot create the PulseAudio main loop";
    return nullptr;
  }
  self->context_ = pa_context_new(self->Api(), "melvox");
  if (self->context_ == nullptr) {
    error = "cannot create a PulseAudio context";
    return nullptr;
  }
  pa_context_set_state_callback(self->context_, &PulseContext::OnStateChanged, self.get());
  if (pa_threaded_mainloop_start(self->loop_) < 0) {
    error = "cannot start the PulseAudio main loop";
    return nullptr;
  }
  ScopedLock lock(*self);
  if (pa_context_connect(self->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    error = self->LastError();
    return nullptr;
  }
  ConnectWait wait{self.get()};
  pa_time_event* timer =
      pa_context_rttime_new(self->context_, pa_rtclock_now() + kConnectTimeout, &OnConnectTimeout, &wait);
  pa_context_state_t state;
  while ((state = pa_context_get_state(self->context_)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state) &&
         !wait.timed_out) {
    pa_threaded_mainloop_wait(self->loop_);
  }
  if (timer != nullptr) self->Api()->time_free(timer);
  if (state != PA_CONTEXT_READY) {
    error = wait.timed_out ? "the PulseAudio server did not answer" : self->LastError();
    return nullptr;
  }
  return self;
}

PulseContext::~PulseContext() {
  if (loop_ == nullptr) return;
  if (context_ != nullptr) {
    pa_threaded_mainloop_lock(loop_);
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_threaded_mainloop_unlock(loop_);
  }
  // Stopping joins the loop's thread, so it runs without the lock.
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

std::shared_ptr<PulseContext> PulseContext::Shared(std::string& error) {
  struct Cache {
    std::mutex mutex;
    std::weak_ptr<PulseContext> context;
  };
  // Never destroyed: a device closed during the process's exit may still ask for it.
  static Cache* cache = new Cache;
  std::lock_guard<std::mutex> lock(cache->mutex);
  if (std::shared_ptr<PulseContext> context = cache->context.lock()) {
    ScopedLock loop_lock(*context);
    if (context->IsReady()) return context;
  }
  std::shared_ptr<PulseContext> context = Connect(error);
  cache->context = context;
  return context;
}

void PulseErrorDetails::Keep(uint32_t result, std::string detail) {
  std::lock_guard<std::mutex> lock(mutex_);
  details_[result] = std::move(detail);
}

std::string PulseErrorDetails::Get(uint32_t result) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = details_.find(result);
  return found != details_.end() ? found->second : std::string();
}

bool PulseContext::Await(pa_operation* operation) {
  if (operation == nullptr) return false;
  pa_operation_state_t state;
  while ((state = pa_operation_get_state(operation)) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(loop_);
  pa_operation_unref(operation);
  return state == PA_OPERATION_DONE;
}

bool PulseContext::AwaitReady(pa_stream* stream) {
  pa_stream_state_t state;
  while ((state = pa_stream_get_state(stream)) == PA_STREAM_CREATING) pa_threaded_mainloop_wait(loop_);
  return state == PA_STREAM_READY;
}

}  // namespace melvox::platform
