// play_file: a small host of libmelvox.so. Loads the sound file given on the command line, plays it
// (or its slowed version) through the process's player and waits until it has played out.
//   melvox_play_file FILE [--slowed] [--selection]
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <melvox/melvox.h>
#include <mutex>

namespace {

// Called on the player's playback thread: only wakes the waiting main thread.
class EndWaiter final : public melvox::IPlayerListener {
 public:
  void OnPlaybackEnded() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  bool slowed = false;
  bool selection = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--slowed") == 0) {
      slowed = true;
    } else if (std::strcmp(argv[i], "--selection") == 0) {
      selection = true;
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (path == nullptr) {
    std::fprintf(stderr, "usage: %s FILE [--slowed] [--selection]\n", argv[0]);
    return 2;
  }

  melvox::ISoundPlayer& player = melvox::GetPlayer();
  EndWaiter waiter;
  player.AddListener(&waiter);
  int status = 0;
  try {
    player.Load(path, selection ? 1 : 0);
    std::printf("%s: %d ms, playing %s\n", path, player.GetDuration(), slowed ? "slowed" : "original");
    if (slowed) {
      player.PlaySlowed();
    } else {
      player.PlayOriginal();
    }
    waiter.Wait();
    std::printf("played to the end\n");
  } catch (const melvox::CMsgException& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  // The player outlives main; the listener does not.
  player.RemoveListener(&waiter);
  return status;
}
