// gtk4_host: a GTK4 host of libmelvox.so, built against the installed package as a host's developer
// builds it. It runs unchanged on Wayland and on X11: the graphs live in a graph surface whose pixels
// it draws in a GtkDrawingArea, and it forwards the pointer there, so it never needs an X window.
// The four graphs of the sound file given on the command line lie one above the other; a click or a
// drag plays that part. "Original" and "Slowed" play the useful part of the file, "Record 5 s"
// records and shows the similarity of the recording with the file; Ctrl+Q quits.
//   gtk4_host FILE [--snapshot PNG]
// It prints what the library tells it ("play start", "redraw", "ended"), where the drawing area lies
// in its window ("area: X Y WIDTH HEIGHT"), "ready" once it shows the graphs and the score of a
// recording ("Score: N %"), so a script can follow it. --snapshot writes the graphs (the surface's
// very pixels) to PNG once they are drawn, and quits. A file that cannot be opened ends it before any
// window opens, with a message on standard error and status 1 (the player's Load tells it without a
// message box; GTK 4.8, Debian 12's, has no GtkAlertDialog).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <melvox/melvox.h>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kGraphHeight = 150;
constexpr int32_t kGap = 1;  // one white row between two graphs
constexpr int32_t kTypes[] = {melvox::GRAPH_ENVELOPE, melvox::GRAPH_PITCH, melvox::GRAPH_CROSSING,
                              melvox::GRAPH_SPECTRUM};
constexpr guint kSettleMs = 200;    // a resize is over when the size stayed the same this long
constexpr guint kSnapshotMs = 300;  // the graphs are drawn when the surface stayed the same this long

void Say(const char* what) {
  std::printf("%s\n", what);
  std::fflush(stdout);
}

melvox::GraphRect Union(const melvox::GraphRect& a, const melvox::GraphRect& b) {
  if (a.left >= a.right || a.top >= a.bottom) return b;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Restarts a one-shot timer of the main loop.
void Restart(guint& timer, guint ms, GSourceFunc function, gpointer data) {
  if (timer != 0) g_source_remove(timer);
  timer = g_timeout_add(ms, function, data);
}

void Cancel(guint& timer) {
  if (timer != 0) g_source_remove(timer);
  timer = 0;
}

// Everything runs on GTK's main thread but the three listener calls, which run on the library's thread.
class Host final : public melvox::IGraphSurfaceListener,
                   public melvox::IGraphicListener,
                   public melvox::IPlaybackObserver {
 public:
  Host(std::string path, std::string snapshot) : path_(std::move(path)), snapshot_(std::move(snapshot)) {}

  int Run() {
    GtkApplication* app = gtk_application_new("org.melvox.Gtk4Host", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(+[](GtkApplication* a, Host* self) { self->Activate(a); }), this);
    char name[] = "gtk4_host";
    char* argv[] = {name, nullptr};  // the file is ours, not an argument GApplication should open
    if (g_application_run(G_APPLICATION(app), 1, argv) != 0) status_ = 1;
    g_object_unref(app);
    if (manager_ != nullptr) manager_->Release();
    if (surface_ != nullptr) surface_->Release();
    if (image_ != nullptr) cairo_surface_destroy(image_);
    melvox::GetPlayer().Stop();
    return status_;
  }

  // The library's thread: note what changed and let the main thread draw it.
  void OnSurfaceChanged(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    {
      const std::lock_guard<std::mutex> guard(dirty_mutex_);
      dirty_ = Union(dirty_, {left, top, right, bottom});
    }
    if (!draw_scheduled_.exchange(true)) g_idle_add(&Host::OnChanged, this);
  }
  void OnPlayStart() override { Say("play start"); }
  void OnRedraw() override { Say("redraw"); }
  void OnPlaybackEnd() override { Say("ended"); }

 private:
  void Fail(const char* what) {
    std::fprintf(stderr, "gtk4_host: %s: %s\n", path_.c_str(), what);
    status_ = 1;
  }

  void Activate(GtkApplication* app) {
    try {
      melvox::GetPlayer().Load(path_.c_str(), 1);  // also tells early whether the file opens
    } catch (const melvox::CMsgException& error) {
      Fail(error.what());
      return;  // no window: the application ends
    }
    window_ = gtk_application_window_new(app);
    const std::string title = "gtk4_host: " + path_;
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    g_signal_connect(window_, "destroy", G_CALLBACK(+[](GtkWidget*, Host* self) { self->Destroyed(); }), this);
    GtkEventController* keys = gtk_shortcut_controller_new();  // Ctrl+Q closes the window
    gtk_shortcut_controller_add_shortcut(
        GTK_SHORTCUT_CONTROLLER(keys),
        gtk_shortcut_new(gtk_shortcut_trigger_parse_string("<Control>q"), gtk_named_action_new("window.close")));
    gtk_widget_add_controller(window_, keys);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_margin_start(bar, 6);
    gtk_widget_set_margin_end(bar, 6);
    gtk_widget_set_margin_top(bar, 6);
    gtk_widget_set_margin_bottom(bar, 6);
    AddButton(
        bar, "Original", +[](GtkButton*, Host* self) { self->Play(false); });
    AddButton(
        bar, "Slowed", +[](GtkButton*, Host* self) { self->Play(true); });
    record_button_ = AddButton(
        bar, "Record 5 s", +[](GtkButton*, Host* self) { self->StartRecording(); });
    label_ = gtk_label_new("");
    gtk_box_append(GTK_BOX(bar), label_);
    gtk_box_append(GTK_BOX(column), bar);

    area_ = gtk_drawing_area_new();
    const int32_t height = 4 * kGraphHeight + 3 * kGap;
    gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(area_), kWidth);
    gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(area_), height);
    gtk_widget_set_hexpand(area_, true);
    gtk_widget_set_vexpand(area_, true);
    gtk_drawing_area_set_draw_func(
        GTK_DRAWING_AREA(area_),
        +[](GtkDrawingArea*, cairo_t* cr, int w, int h, gpointer self) { static_cast<Host*>(self)->Draw(cr, w, h); },
        this, nullptr);
    g_signal_connect(area_, "resize", G_CALLBACK(+[](GtkDrawingArea*, int, int, Host* self) { self->Layout(); }), this);
    g_signal_connect(area_, "notify::scale-factor",
                     G_CALLBACK(+[](GtkWidget*, GParamSpec*, Host* self) { self->Layout(); }), this);
    AddPointer();
    gtk_box_append(GTK_BOX(column), area_);
    gtk_window_set_child(GTK_WINDOW(window_), column);

    surface_ = melvox::CreateGraphSurface(kWidth, height, this);
    manager_ = melvox::GetGraphicManager();
    if (surface_ == nullptr || manager_ == nullptr) {
      Fail("cannot make the graphs");
      gtk_window_destroy(GTK_WINDOW(window_));
      return;
    }
    manager_->AddListener(this);
    manager_->SetPlaybackObserver(this);
    try {
      for (int i = 0; i < 4; ++i) {
        const melvox::GraphRect rect = GraphPlace(i, kWidth, height);
        const melvox::WindowHandle graph =
            manager_->CreateGraphs(surface_->GetHandle(), 100 + i, static_cast<uint8_t>(kTypes[i]), &rect);
        surface_->ShowGraph(graph, true);  // the host shows the graphs
      }
      manager_->SetSoundFile(path_.c_str(), 0);
    } catch (const melvox::CMsgException& error) {
      Fail(error.what());
      gtk_window_destroy(GTK_WINDOW(window_));
      return;
    }
    gtk_window_present(GTK_WINDOW(window_));
  }

  template <typename Handler>
  GtkWidget* AddButton(GtkWidget* bar, const char* text, Handler handler) {
    GtkWidget* button = gtk_button_new_with_label(text);
    g_signal_connect(button, "clicked", G_CALLBACK(handler), this);
    gtk_box_append(GTK_BOX(bar), button);
    return button;
  }

  // Press, motion with the button held (the drag keeps its events when it leaves the area) and release
  // of the primary button; motion without a button from the motion controller.
  void AddPointer() {
    drag_ = gtk_gesture_drag_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(drag_), GDK_BUTTON_PRIMARY);
    g_signal_connect(drag_, "drag-begin", G_CALLBACK(+[](GtkGestureDrag*, double x, double y, Host* self) {
                       self->drag_x_ = x;
                       self->drag_y_ = y;
                       self->surface_->PointerPress(self->Px(x), self->Px(y));
                     }),
                     this);
    g_signal_connect(drag_, "drag-update", G_CALLBACK(+[](GtkGestureDrag*, double dx, double dy, Host* self) {
                       self->surface_->PointerMotion(self->Px(self->drag_x_ + dx), self->Px(self->drag_y_ + dy), true);
                     }),
                     this);
    g_signal_connect(drag_, "drag-end", G_CALLBACK(+[](GtkGestureDrag*, double dx, double dy, Host* self) {
                       self->surface_->PointerRelease(self->Px(self->drag_x_ + dx), self->Px(self->drag_y_ + dy));
                     }),
                     this);
    gtk_widget_add_controller(area_, GTK_EVENT_CONTROLLER(drag_));
    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(+[](GtkEventControllerMotion*, double x, double y, Host* self) {
                       if (!gtk_gesture_is_active(self->drag_))
                         self->surface_->PointerMotion(self->Px(x), self->Px(y), false);
                     }),
                     this);
    gtk_widget_add_controller(area_, motion);
  }

  // A widget coordinate in surface pixels (the surface has the area's size in device pixels).
  int32_t Px(double v) const { return static_cast<int32_t>(std::floor(v * scale_)); }

  // Graph i of four sharing a surface of width x height, one white row between two.
  static melvox::GraphRect GraphPlace(int i, int32_t width, int32_t height) {
    const int32_t graph_height = std::max(1, (height - 3 * kGap) / 4);
    const int32_t top = i * (graph_height + kGap);
    return {0, top, width, top + graph_height};
  }

  // The area got a new size or scale: the surface and the graphs follow at once, and the graphs are
  // computed again for their new size once it settles.
  void Layout() {
    if (area_ == nullptr || surface_ == nullptr) return;
    scale_ = gtk_widget_get_scale_factor(area_);
    const int32_t width = std::clamp(gtk_widget_get_width(area_) * scale_, 1, 16384);
    const int32_t height = std::clamp(gtk_widget_get_height(area_) * scale_, 1, 16384);
    if (width == surface_->GetWidth() && height == surface_->GetHeight()) return;
    surface_->Resize(width, height);
    for (int i = 0; i < 4; ++i) surface_->MoveGraph(manager_->GetGraphWindow(kTypes[i]), GraphPlace(i, width, height));
    Restart(refresh_timer_, kSettleMs, &Host::OnSettled, this);
  }

  static gboolean OnSettled(gpointer data) {
    auto* self = static_cast<Host*>(data);
    self->refresh_timer_ = 0;
    try {
      self->manager_->RefreshGraphs();
    } catch (const melvox::CMsgException& error) {
      self->Fail(error.what());
    }
    return G_SOURCE_REMOVE;
  }

  static gboolean OnChanged(gpointer data) {
    auto* self = static_cast<Host*>(data);
    self->draw_scheduled_ = false;
    if (self->area_ == nullptr) return G_SOURCE_REMOVE;  // the window is gone
    gtk_widget_queue_draw(self->area_);
    if (self->ready_ && !self->snapshot_.empty()) Restart(self->snapshot_timer_, kSnapshotMs, &Host::OnQuiet, self);
    return G_SOURCE_REMOVE;
  }

  // Brings the image up to date with the surface (only what changed) and paints it 1:1.
  void Draw(cairo_t* cr, int width, int height) {
    const int32_t surface_width = surface_->GetWidth();
    const int32_t surface_height = surface_->GetHeight();
    melvox::GraphRect dirty{0, 0, 0, 0};
    {
      const std::lock_guard<std::mutex> guard(dirty_mutex_);
      std::swap(dirty, dirty_);
    }
    if (image_ == nullptr || cairo_image_surface_get_width(image_) != surface_width ||
        cairo_image_surface_get_height(image_) != surface_height) {
      if (image_ != nullptr) cairo_surface_destroy(image_);
      image_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surface_width, surface_height);
      dirty = {0, 0, surface_width, surface_height};
    }
    cairo_surface_set_device_scale(image_, scale_, scale_);
    dirty = {std::max(dirty.left, 0), std::max(dirty.top, 0), std::min(dirty.right, surface_width),
             std::min(dirty.bottom, surface_height)};
    if (dirty.left < dirty.right && dirty.top < dirty.bottom) {
      cairo_surface_flush(image_);
      const int stride = cairo_image_surface_get_stride(image_);
      unsigned char* first = cairo_image_surface_get_data(image_) + dirty.top * stride + dirty.left * 4;
      surface_->CopyPixels(dirty, first, stride);
      cairo_surface_mark_dirty_rectangle(image_, dirty.left, dirty.top, dirty.right - dirty.left,
                                         dirty.bottom - dirty.top);
    }
    if (surface_width < width * scale_ || surface_height < height * scale_) {
      cairo_set_source_rgb(cr, 1, 1, 1);  // white beyond the surface until its resize arrives
      cairo_paint(cr);
    }
    cairo_set_source_surface(cr, image_, 0, 0);
    cairo_paint(cr);
    if (!ready_) Ready();
  }

  // The first drawing: the window is laid out and the file's graphs are on their way.
  void Ready() {
    ready_ = true;
    GtkNative* native = gtk_widget_get_native(area_);
    graphene_point_t origin = GRAPHENE_POINT_INIT(0, 0);
    graphene_point_t at = origin;
    if (!gtk_widget_compute_point(area_, GTK_WIDGET(native), &origin, &at)) at = origin;
    double surface_x = 0;
    double surface_y = 0;
    gtk_native_get_surface_transform(native, &surface_x, &surface_y);  // the margin of client-side decorations
    std::printf("area: %d %d %d %d\n", static_cast<int>(std::lround(at.x + surface_x)),
                static_cast<int>(std::lround(at.y + surface_y)), gtk_widget_get_width(area_),
                gtk_widget_get_height(area_));
    Say("ready");
    if (!snapshot_.empty()) Restart(snapshot_timer_, kSnapshotMs, &Host::OnQuiet, this);
  }

  // Nothing changed for a while (and no resize waits for its refresh): the graphs are drawn.
  static gboolean OnQuiet(gpointer data) {
    auto* self = static_cast<Host*>(data);
    if (self->refresh_timer_ != 0) return G_SOURCE_CONTINUE;
    self->snapshot_timer_ = 0;
    const int32_t width = self->surface_->GetWidth();
    const int32_t height = self->surface_->GetHeight();
    cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(shot);
    self->surface_->CopyPixels({0, 0, width, height}, cairo_image_surface_get_data(shot),
                               cairo_image_surface_get_stride(shot));
    cairo_surface_mark_dirty(shot);
    const cairo_status_t status = cairo_surface_write_to_png(shot, self->snapshot_.c_str());
    cairo_surface_destroy(shot);
    if (status != CAIRO_STATUS_SUCCESS) {
      std::fprintf(stderr, "gtk4_host: cannot write %s: %s\n", self->snapshot_.c_str(), cairo_status_to_string(status));
      self->status_ = 1;
    }
    gtk_window_destroy(GTK_WINDOW(self->window_));
    return G_SOURCE_REMOVE;
  }

  void Play(bool slowed) {
    try {
      if (slowed) {
        melvox::GetPlayer().PlaySlowed();
      } else {
        melvox::GetPlayer().PlayOriginal();
      }
    } catch (const melvox::CMsgException& error) {
      gtk_label_set_text(GTK_LABEL(label_), error.what());
    }
  }

  // Records for 5 s without blocking the main loop: a timer stops the recording and compares.
  void StartRecording() {
    try {
      melvox::GetRecorder().Start();
    } catch (const melvox::CMsgException& error) {
      gtk_label_set_text(GTK_LABEL(label_), error.what());
      return;
    }
    gtk_widget_set_sensitive(record_button_, false);
    gtk_label_set_text(GTK_LABEL(label_), "Recording...");
    record_timer_ = g_timeout_add_seconds(5, &Host::OnRecorded, this);
  }

  static gboolean OnRecorded(gpointer data) {
    auto* self = static_cast<Host*>(data);
    self->record_timer_ = 0;
    std::string text;
    try {
      melvox::ISoundRecorder& recorder = melvox::GetRecorder();
      recorder.Stop();
      text = "Score: " + std::to_string(recorder.Compare(self->path_.c_str())) + " %";
      Say(text.c_str());
    } catch (const melvox::CMsgException& error) {
      text = error.what();
    }
    gtk_label_set_text(GTK_LABEL(self->label_), text.c_str());
    gtk_widget_set_sensitive(self->record_button_, true);
    return G_SOURCE_REMOVE;
  }

  // The window goes: no more drawing, timers or recording.
  void Destroyed() {
    area_ = nullptr;
    Cancel(refresh_timer_);
    Cancel(snapshot_timer_);
    if (record_timer_ != 0) {
      Cancel(record_timer_);
      melvox::GetRecorder().Stop();
    }
  }

  const std::string path_;
  const std::string snapshot_;
  int status_ = 0;
  GtkWidget* window_ = nullptr;
  GtkWidget* area_ = nullptr;
  GtkWidget* label_ = nullptr;
  GtkWidget* record_button_ = nullptr;
  GtkGesture* drag_ = nullptr;
  double drag_x_ = 0;
  double drag_y_ = 0;
  int scale_ = 1;
  bool ready_ = false;
  guint refresh_timer_ = 0;
  guint snapshot_timer_ = 0;
  guint record_timer_ = 0;
  melvox::IGraphSurface* surface_ = nullptr;
  melvox::IGraphicManager* manager_ = nullptr;
  cairo_surface_t* image_ = nullptr;  // what the area paints: the surface's pixels as last drawn
  std::mutex dirty_mutex_;
  melvox::GraphRect dirty_{0, 0, 0, 0};  // surface pixels changed since the last drawing
  std::atomic<bool> draw_scheduled_{false};
};

}  // namespace

int main(int argc, char** argv) {
  const bool snapshot = argc == 4 && std::strcmp(argv[2], "--snapshot") == 0;
  if ((argc != 2 && !snapshot) || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s FILE [--snapshot PNG]\n", argv[0]);
    return 2;
  }
  Host host(argv[1], snapshot ? argv[3] : "");
  return host.Run();
}
