// graph_host: a small X11 host of libmelvox.so, built against the installed package as a host's
// developer builds it. It opens a window of its own, puts the four graphs of the sound file given on
// the command line into it, and lets the user play any part of them with a click or a drag. Keys: r
// records up to 5 seconds and shows the similarity of the recording with the file in the title; o and
// s play the whole envelope (the file's own sound) and the slowed version; q quits.
//   graph_host FILE [--detect]
// It prints what the library tells it ("play start", "redraw", "ended") and the handles of its
// windows, so a script can follow it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <melvox/melvox.h>
#include <string>
#include <thread>

#include <xcb/xcb.h>

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kGraphHeight = 150;
constexpr int32_t kGap = 4;
constexpr int32_t kTypes[] = {melvox::GRAPH_ENVELOPE, melvox::GRAPH_PITCH, melvox::GRAPH_CROSSING,
                              melvox::GRAPH_SPECTRUM};

// Called on the library's window thread: prints and returns.
class Reporter final : public melvox::IGraphicListener, public melvox::IPlaybackObserver {
 public:
  void OnPlayStart() override { Say("play start"); }
  void OnRedraw() override { Say("redraw"); }
  void OnPlaybackEnd() override { Say("ended"); }

 private:
  static void Say(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
  }
};

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// The character of a key (its first keysym, which is the Latin-1 code for the keys used here).
char KeyChar(xcb_connection_t* connection, xcb_keycode_t key) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  xcb_get_keyboard_mapping_reply_t* reply =
      xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, key, 1), nullptr);
  char result = 0;
  if (reply != nullptr && key >= setup->min_keycode && xcb_get_keyboard_mapping_keysyms_length(reply) > 0) {
    const xcb_keysym_t keysym = xcb_get_keyboard_mapping_keysyms(reply)[0];
    if (keysym < 0x100) result = static_cast<char>(keysym);
  }
  std::free(reply);
  return result;
}

void SetTitle(xcb_connection_t* connection, xcb_window_t window, const std::string& title) {
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(title.size()), title.data());
  xcb_flush(connection);
}

// The graphs lie one above the other, as wide as the window, sharing its height.
void PlaceGraphs(xcb_connection_t* connection, melvox::IGraphicManager& manager, int32_t width, int32_t height) {
  const int32_t graph_height = (height - 3 * kGap) / 4;
  for (int i = 0; i < 4; ++i) {
    const uint32_t values[] = {0, static_cast<uint32_t>(i * (graph_height + kGap)), static_cast<uint32_t>(width),
                               static_cast<uint32_t>(graph_height > 1 ? graph_height : 1)};
    const auto window = static_cast<xcb_window_t>(manager.GetGraphWindow(kTypes[i]));
    xcb_configure_window(connection, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
  }
  xcb_flush(connection);
}

std::string Record(const char* reference) {
  melvox::ISoundRecorder& recorder = melvox::GetRecorder();
  recorder.Start();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  recorder.Stop();
  return "score " + std::to_string(recorder.Compare(reference)) + " % for " + reference;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s FILE [--detect]\n", argv[0]);
    return 2;
  }
  const char* path = argv[1];
  const int32_t option = argc > 2 && std::strcmp(argv[2], "--detect") == 0 ? 1 : 0;

  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "graph_host: no X display\n");
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_window_t window = xcb_generate_id(connection);
  const int32_t height = 4 * kGraphHeight + 3 * kGap;
  const uint32_t mask_values[] = {screen->white_pixel, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, kWidth, height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                    mask_values);
  const xcb_atom_t protocols = Atom(connection, "WM_PROTOCOLS");
  const xcb_atom_t close = Atom(connection, "WM_DELETE_WINDOW");
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &close);
  SetTitle(connection, window, std::string("graph_host: ") + path);
  xcb_map_window(connection, window);
  xcb_flush(connection);

  melvox::IGraphicManager* manager = melvox::GetGraphicManager();
  if (manager == nullptr) return 1;
  Reporter reporter;
  manager->AddListener(&reporter);
  manager->SetPlaybackObserver(&reporter);
  int status = 0;
  try {
    for (int i = 0; i < 4; ++i) {
      const melvox::GraphRect rect{0, i * (kGraphHeight + kGap), kWidth, i * (kGraphHeight + kGap) + kGraphHeight};
      const melvox::WindowHandle graph = manager->CreateGraphs(window, 100 + i, static_cast<uint8_t>(kTypes[i]), &rect);
      xcb_map_window(connection, static_cast<xcb_window_t>(graph));  // the host shows the graphs
      std::printf("graph %d: 0x%llx\n", kTypes[i], static_cast<unsigned long long>(graph));
    }
    xcb_flush(connection);
    manager->SetSoundFile(path, option);
    std::printf("window: 0x%x\nready\n", window);
    std::fflush(stdout);

    // Resizes come in bursts while the user drags the border: the graphs are refreshed once the size
    // has stayed the same for 200 ms.
    bool resized = false;
    auto last_resize = std::chrono::steady_clock::now();
    for (bool running = true; running;) {
      xcb_generic_event_t* event = xcb_poll_for_event(connection);
      if (event == nullptr) {
        if (xcb_connection_has_error(connection) != 0) break;
        if (resized && std::chrono::steady_clock::now() - last_resize > std::chrono::milliseconds(200)) {
          manager->RefreshGraphs();
          resized = false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY: {
          const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
          if (configure->window == window) {
            PlaceGraphs(connection, *manager, configure->width, configure->height);
            resized = true;
            last_resize = std::chrono::steady_clock::now();
          }
          break;
        }
        case XCB_KEY_PRESS: {
          const char key = KeyChar(connection, reinterpret_cast<xcb_key_press_event_t*>(event)->detail);
          if (key == 'q') running = false;
          if (key == 'o' || key == 's') {
            manager->SelectSound(key == 's');
            manager->PlayGraph(melvox::GRAPH_ENVELOPE);
          }
          if (key == 'r') SetTitle(connection, window, Record(path));
          break;
        }
        case XCB_CLIENT_MESSAGE:
          if (reinterpret_cast<xcb_client_message_event_t*>(event)->data.data32[0] == close) running = false;
          break;
        case XCB_DESTROY_NOTIFY:
          running = false;
          break;
        default:
          break;
      }
      std::free(event);
    }
  } catch (const melvox::CMsgException& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  manager->Release();
  xcb_disconnect(connection);
  return status;
}
