// The GTK window system on a display of its own (Xvfb, started on first
// use and ended with the test program): the patch menu built from its
// template, the dialog manager's keys, message boxes, cross-thread calls
// from a worker and close requests to the main window.
#ifdef PACHE_HAVE_GTK

#include "platform/ui/gtk/gtk_window_system.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/texts.h"
#include "platform/host/window_system_choice.h"
#include "res/dialog_layout.h"
#include "res/resource.h"

// GTK, GLib and D-Bus keep process-long allocations that they never free;
// the leak check looks only at what the rest of the program leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libgdk-3.so\n"
         "leak:libgtk-3.so\n"
         "leak:libfontconfig.so\n"
         "leak:libpango\n"
         "leak:libcairo.so\n"
         "leak:libX11.so\n";
}

namespace pache::gtk {
namespace {

// ------------------------------------------------------------- the display

pid_t xvfb = 0;

// Starts Xvfb on a free display number and points DISPLAY at it.
bool StartDisplay() {
  static bool started = [] {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    xvfb = fork();
    if (xvfb == 0) {
      dup2(pipeEnds[1], 3);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeEnds[1]);
    std::string number;
    char c;
    while (xvfb > 0 && read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeEnds[0]);
    if (number.empty()) return false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return true;
  }();
  return started;
}

class DisplayEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    if (xvfb > 0) {
      kill(xvfb, SIGTERM);
      waitpid(xvfb, nullptr, 0);
    }
  }
};
[[maybe_unused]] ::testing::Environment* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// ------------------------------------------------------------- helpers

std::string Utf8Of(const char* cp932) {
  GError* error = nullptr;
  gchar* text = g_convert(cp932, -1, "UTF-8", "CP932", nullptr, nullptr, &error);
  if (text == nullptr) {
    g_clear_error(&error);
    return "";
  }
  std::string result = text;
  g_free(text);
  return result;
}

void SendKey(GtkWidget* window, guint keyval, GdkModifierType state) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->key.keyval = keyval;
  event->key.state = state;
  event->key.time = GDK_CURRENT_TIME;
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(
                                  gdk_display_get_default())));
  gtk_main_do_event(event);
  gdk_event_free(event);
}

// What the window manager sends for a close box or Alt+F4.
void SendDelete(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  gtk_main_do_event(event);
  gdk_event_free(event);
}

// Runs `step` on the window thread from inside whatever GTK loop runs next
// (a modal loop of the code under test).
void Later(std::function<void()> step) {
  g_idle_add(
      [](gpointer data) -> gboolean {
        auto* work = static_cast<std::function<void()>*>(data);
        (*work)();
        delete work;
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(step)));
}

// The open top-level window with this title, or null.
GtkWidget* WindowTitled(const std::string& title) {
  GtkWidget* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item != nullptr; item = item->next) {
    const char* itsTitle = gtk_window_get_title(GTK_WINDOW(item->data));
    if (itsTitle != nullptr && title == itsTitle && gtk_widget_get_visible(GTK_WIDGET(item->data)))
      found = GTK_WIDGET(item->data);
  }
  g_list_free(toplevels);
  return found;
}

void CollectLabels(GtkWidget* widget, std::vector<std::string>& labels) {
  if (GTK_IS_LABEL(widget)) labels.push_back(gtk_label_get_text(GTK_LABEL(widget)));
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr; child = child->next)
      CollectLabels(GTK_WIDGET(child->data), labels);
    g_list_free(children);
  }
}

GtkWidget* FindButton(GtkWidget* widget) {
  if (GTK_IS_BUTTON(widget)) return widget;
  GtkWidget* found = nullptr;
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next)
      found = FindButton(GTK_WIDGET(child->data));
    g_list_free(children);
  }
  return found;
}

// What the main window's procedure was sent.
struct MainWindowLog {
  GtkWindowSystem* windows = nullptr;
  std::vector<std::uint32_t> messages;
};

std::intptr_t RecordingWindowProc(void* context, WindowHandle window, std::uint32_t message,
                                  std::uintptr_t wParam, std::intptr_t lParam) {
  auto* log = static_cast<MainWindowLog*>(context);
  log->messages.push_back(message);
  if (message == WM_DESTROY) {
    log->windows->PostQuitMessage(0);
    return 0;
  }
  return log->windows->DefWindowProc(window, message, wParam, lParam);
}

class GtkWindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!StartDisplay()) GTEST_SKIP() << "Xvfb is not available";
    windows_ = GtkWindowSystem::Open();
    ASSERT_NE(windows_, nullptr);
    log_.windows = windows_.get();
  }

  WindowHandle CreateMain() {
    EXPECT_TRUE(windows_->RegisterWindowClass(kInstanceName, &RecordingWindowProc, &log_));
    WindowHandle main = windows_->CreateMainWindow(kInstanceName, kMainWindowTitle);
    EXPECT_NE(main, 0u);
    windows_->ShowWindow(main, SW_SHOWNORMAL);
    return main;
  }

  // Pumps as the frame loop does until `done` holds (at most 5 s).
  bool PumpUntil(const std::function<bool()>& done, Message* quit = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      Message message;
      while (windows_->PeekMessage(&message)) {
        if (message.message == WM_QUIT && quit != nullptr) *quit = message;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::unique_ptr<GtkWindowSystem> windows_;
  MainWindowLog log_;
};

// ------------------------------------------------------------- the menu

struct MenuRun {
  GtkWindowSystem* windows = nullptr;
  std::vector<std::pair<std::uint32_t, std::uintptr_t>> messages;
  std::function<void(WindowHandle)> script;  // runs once the menu shows
};

// Behaves as the patch menu's procedure: the two buttons end the dialog,
// every other command is consumed.
bool MenuProc(void* context, WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam,
              std::intptr_t) {
  auto* run = static_cast<MenuRun*>(context);
  if (message == WM_INITDIALOG) {
    run->messages.push_back({message, 0});
    Later([run, dialog] { run->script(dialog); });
    return true;
  }
  if (message == WM_COMMAND) {
    int id = static_cast<int>(wParam & 0xFFFF);
    run->messages.push_back({message, static_cast<std::uintptr_t>(id)});
    if (id == IDC_START || id == IDC_QUIT) run->windows->EndDialog(dialog, id);
    return true;
  }
  return false;
}

TEST_F(GtkWindowSystemTest, MenuShowsItsTemplateAndOnlyItsButtonsEndIt) {
  WindowHandle main = CreateMain();
  MenuRun run;
  run.windows = windows_.get();
  bool mainEnabledWhileOpen = true;
  run.script = [&](WindowHandle dialog) {
    GtkWidget* window = windows_->Widget(dialog);
    GtkWidget* start = windows_->Widget(windows_->GetDialogItem(dialog, IDC_START));
    GtkWidget* quit = windows_->Widget(windows_->GetDialogItem(dialog, IDC_QUIT));
    ASSERT_NE(start, nullptr);
    ASSERT_NE(quit, nullptr);
    ASSERT_NE(windows_->GetDialogItem(dialog, IDC_ARTWORK), 0u);
    EXPECT_EQ(windows_->GetDialogItem(dialog, 4242), 0u);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), Utf8Of(kMainWindowTitle).c_str());
    EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(start)), Utf8Of(kMenuStartText));
    EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(quit)), Utf8Of(kMenuQuitText));
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window)), start) << "focus on the first tab stop";
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(window))) << "no close box";
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_EQ(GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(window))), windows_->Widget(main));
    mainEnabledWhileOpen = windows_->IsEnabled(main);
    SendDelete(windows_->Widget(main));  // the disabled main window ignores it

    // The two buttons lie side by side over the artwork's lower part.
    GtkAllocation artwork, first, second;
    gtk_widget_get_allocation(windows_->Widget(windows_->GetDialogItem(dialog, IDC_ARTWORK)),
                              &artwork);
    gtk_widget_get_allocation(start, &first);
    gtk_widget_get_allocation(quit, &second);
    EXPECT_EQ(first.y, second.y);
    EXPECT_EQ(first.width, second.width);
    EXPECT_LT(first.x + first.width, second.x);
    EXPECT_GT(first.y, artwork.y + artwork.height / 2);
    EXPECT_LE(first.y + first.height, artwork.y + artwork.height);

    // The dialog manager's keys become commands; none of them ends it.
    SendKey(window, GDK_KEY_Escape, GdkModifierType(0));
    SendKey(window, GDK_KEY_Return, GdkModifierType(0));
    SendKey(window, GDK_KEY_KP_Enter, GdkModifierType(0));
    SendKey(window, GDK_KEY_F4, GDK_MOD1_MASK);
    SendDelete(window);
    EXPECT_TRUE(gtk_widget_get_visible(window));
    gtk_button_clicked(GTK_BUTTON(start));
  };
  std::intptr_t result = windows_->DialogBox(IDD_PATCH_MENU, main, &MenuProc, &run);
  EXPECT_EQ(result, IDC_START);
  EXPECT_FALSE(mainEnabledWhileOpen);
  EXPECT_TRUE(windows_->IsEnabled(main)) << "enabled again once the menu ended";
  using Sent = std::pair<std::uint32_t, std::uintptr_t>;
  EXPECT_EQ(run.messages, (std::vector<Sent>{{WM_INITDIALOG, 0},
                                             {WM_COMMAND, IDCANCEL},
                                             {WM_COMMAND, IDOK},
                                             {WM_COMMAND, IDOK},
                                             {WM_COMMAND, IDCANCEL},
                                             {WM_COMMAND, IDCANCEL},
                                             {WM_COMMAND, IDC_START}}));
  EXPECT_EQ(std::count(log_.messages.begin(), log_.messages.end(), WM_CLOSE), 0);
}

TEST_F(GtkWindowSystemTest, MenuEndsWithTheQuitButtonAndUnknownDialogsFail) {
  MenuRun run;
  run.windows = windows_.get();
  run.script = [&](WindowHandle dialog) {
    gtk_button_clicked(GTK_BUTTON(windows_->Widget(windows_->GetDialogItem(dialog, IDC_QUIT))));
  };
  EXPECT_EQ(windows_->DialogBox(IDD_PATCH_MENU, 0, &MenuProc, &run), IDC_QUIT);
  EXPECT_EQ(windows_->DialogBox(999, 0, &MenuProc, &run), -1);
  EXPECT_EQ(windows_->DialogBox(IDD_PATCH_MENU, 0x7777, &MenuProc, &run), -1) << "no such owner";
  EXPECT_EQ(run.messages.size(), 2u) << "the procedure never hears of a dialog that failed";
}

// ------------------------------------------------------------- message boxes

TEST_F(GtkWindowSystemTest, BoxOnTheWindowThreadIsModalAndConfirmedByItsKeys) {
  WindowHandle main = CreateMain();
  struct Case {
    WindowHandle owner;
    std::uint32_t flags;
    std::function<void(GtkWidget*)> confirm;
  } cases[] = {
      {0, MB_SYSTEMMODAL, [](GtkWidget* box) { gtk_button_clicked(GTK_BUTTON(FindButton(box))); }},
      {main, MB_OK | MB_SYSTEMMODAL, [](GtkWidget* box) { SendKey(box, GDK_KEY_Escape, GdkModifierType(0)); }},
      {main, MB_OK, [](GtkWidget* box) { SendKey(box, GDK_KEY_Return, GdkModifierType(0)); }},
      {main, MB_OK, [](GtkWidget* box) { SendDelete(box); }},
  };
  for (const Case& c : cases) {
    std::vector<std::string> labels;
    bool mainEnabled = true;
    GtkWidget* transientFor = nullptr;
    Later([&] {
      GtkWidget* box = WindowTitled(Utf8Of(kCompletionCaption));
      ASSERT_NE(box, nullptr);
      CollectLabels(box, labels);
      transientFor = GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(box)));
      mainEnabled = windows_->IsEnabled(main);
      c.confirm(box);
    });
    EXPECT_EQ(windows_->MessageBox(c.owner, "ABC \x81`Ver 1.05\x81` line\ntwo", kCompletionCaption,
                                   c.flags),
              IDOK);
    EXPECT_NE(std::find(labels.begin(), labels.end(), "ABC \xEF\xBD\x9EVer 1.05\xEF\xBD\x9E line\ntwo"),
              labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "OK"), labels.end());
    EXPECT_EQ(transientFor, c.owner == 0 ? nullptr : windows_->Widget(main));
    EXPECT_EQ(mainEnabled, c.owner == 0);
    EXPECT_EQ(WindowTitled(Utf8Of(kCompletionCaption)), nullptr) << "the box is gone";
    EXPECT_TRUE(windows_->IsEnabled(main));
  }
  EXPECT_EQ(windows_->MessageBox(0x7777, "x", "y", MB_OK), 0) << "no such owner";
}

TEST_F(GtkWindowSystemTest, WorkerBoxWaitsForItsAnswerWhileTheWindowThreadGoesOn) {
  WindowHandle main = CreateMain();
  std::atomic<int> answer{-1};
  std::thread worker([&] {
    answer = windows_->MessageBox(main, "a\nb", kCopyFailedCaption, MB_OK);
  });
  GtkWidget* box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = WindowTitled(Utf8Of(kCopyFailedCaption))) != nullptr; }));
  // The frame loop keeps running; the worker keeps waiting.
  int frames = 0;
  PumpUntil([&] { return ++frames == 20; });
  EXPECT_EQ(answer, -1);
  EXPECT_FALSE(windows_->IsEnabled(main));
  gtk_button_clicked(GTK_BUTTON(FindButton(box)));
  ASSERT_TRUE(PumpUntil([&] { return answer != -1; }));
  worker.join();
  EXPECT_EQ(answer, IDOK);
  EXPECT_TRUE(windows_->IsEnabled(main));
}

// ------------------------------------------------------------- the main window

TEST_F(GtkWindowSystemTest, WorkerTitleWaitsForThePumpAndShowsInJapanese) {
  WindowHandle main = CreateMain();
  GtkWidget* window = windows_->Widget(main);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), Utf8Of(kMainWindowTitle).c_str());
  EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window)));
  EXPECT_FALSE(gtk_window_get_skip_taskbar_hint(GTK_WINDOW(window)));

  std::atomic<bool> done{false};
  bool set = false;
  std::thread worker([&] {
    set = windows_->SetWindowText(main, kTitleWaiting);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done) << "the title is set by the window thread's pump";
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), Utf8Of(kMainWindowTitle).c_str());
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(set);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), Utf8Of(kTitleWaiting).c_str());
  EXPECT_TRUE(windows_->SetWindowText(main, kTitleFinished)) << "on the window thread: at once";
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), Utf8Of(kTitleFinished).c_str());
}

TEST_F(GtkWindowSystemTest, CloseRequestDestroysTheWindowAndQuits) {
  WindowHandle main = CreateMain();
  SendDelete(windows_->Widget(main));
  Message quit;
  ASSERT_TRUE(PumpUntil([&] { return quit.message == WM_QUIT; }, &quit));
  EXPECT_EQ(quit.wParam, 0u);
  EXPECT_EQ(log_.messages, (std::vector<std::uint32_t>{WM_CREATE, WM_CLOSE, WM_DESTROY}));
  EXPECT_EQ(windows_->Widget(main), nullptr);
  // Calls on the gone window fail at once, also from another thread.
  bool set = true;
  std::thread([&] { set = windows_->SetWindowText(main, "x"); }).join();
  EXPECT_FALSE(set);
  EXPECT_FALSE(windows_->BringOwnWindowToFront(kInstanceName));
}

TEST_F(GtkWindowSystemTest, AltF4OnTheMainWindowIsACloseRequest) {
  WindowHandle main = CreateMain();
  SendKey(windows_->Widget(main), GDK_KEY_F4, GDK_MOD1_MASK);
  Message quit;
  ASSERT_TRUE(PumpUntil([&] { return quit.message == WM_QUIT; }, &quit));
  EXPECT_EQ(log_.messages.back(), WM_DESTROY);
}

TEST_F(GtkWindowSystemTest, AnotherCopyReachesTheMainWindowByItsClass) {
  EXPECT_FALSE(windows_->BringOwnWindowToFront(kInstanceName)) << "no main window yet";
  CreateMain();
  std::atomic<int> brought{-1}, other{-1};
  std::thread channel([&] {
    other = windows_->BringOwnWindowToFront("another");
    brought = windows_->BringOwnWindowToFront(kInstanceName);
  });
  ASSERT_TRUE(PumpUntil([&] { return brought != -1; }));
  channel.join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(brought, 1);
}

// ------------------------------------------------------------- the choice

TEST(WindowSystemChoice, GtkForItsNameOrForADisplay) {
  ASSERT_TRUE(StartDisplay()) << "Xvfb is not available";
  const std::string display = std::getenv("DISPLAY");
  enum Chosen { Gtk, Headless };
  struct Case {
    const char* ui;  // null: unset
    bool displaySet;
    Chosen chosen;
  } cases[] = {
      // First, while GTK has not started in this process: no display to open.
      {"gtk", false, Headless},
      {nullptr, true, Gtk},
      {"gtk", true, Gtk},
      {"headless", true, Headless},
      {nullptr, false, Headless},
      {"", false, Headless},
  };
  for (const Case& c : cases) {
    if (c.ui != nullptr && std::string(c.ui) == "gtk" && !c.displaySet &&
        gdk_display_get_default() != nullptr) {
      continue;  // GTK keeps the display it once opened
    }
    if (c.ui != nullptr) setenv("PACHE_UI", c.ui, 1); else unsetenv("PACHE_UI");
    if (c.displaySet) setenv("DISPLAY", display.c_str(), 1); else unsetenv("DISPLAY");
    std::unique_ptr<host::HostWindowSystem> windows = host::ChooseWindowSystem();
    ASSERT_NE(windows, nullptr);
    const bool isGtk = dynamic_cast<GtkWindowSystem*>(windows.get()) != nullptr;
    EXPECT_EQ(isGtk, c.chosen == Gtk) << (c.ui ? c.ui : "(unset)") << " " << c.displaySet;
  }
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("PACHE_UI");
}

}  // namespace
}  // namespace pache::gtk

#endif  // PACHE_HAVE_GTK
