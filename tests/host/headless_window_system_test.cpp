// The headless window system: what it prints, how it answers the menu, and
// how close signals and the worker's title changes reach the window thread.
#include "platform/ui/headless/headless_window_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/texts.h"
#include "platform/ui/headless/close_signals.h"
#include "res/resource.h"

namespace pache::headless {
namespace {

std::string Contents(std::FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[256];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, got);
  return text;
}

struct Recorder {
  std::vector<std::uint32_t> messages;
  WindowSystem* windows = nullptr;
};

std::intptr_t RecordingProc(void* context, WindowHandle window, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam) {
  auto* recorder = static_cast<Recorder*>(context);
  recorder->messages.push_back(message);
  if (message == WM_DESTROY) recorder->windows->PostQuitMessage(0);
  return recorder->windows->DefWindowProc(window, message, wParam, lParam);
}

class HeadlessTest : public ::testing::Test {
 protected:
  std::unique_ptr<HeadlessWindowSystem> Make(std::optional<std::string> menuAnswer,
                                             int input = -1) {
    HeadlessOptions options;
    options.out = out;
    options.err = err;
    options.input = input;
    options.menuAnswer = std::move(menuAnswer);
    return std::make_unique<HeadlessWindowSystem>(options);
  }
  // A window system whose main window reports its messages to `recorder`.
  WindowHandle OpenMainWindow() {
    windows = Make("quit");
    recorder.windows = windows.get();
    EXPECT_TRUE(windows->RegisterWindowClass("pache", RecordingProc, &recorder));
    return windows->CreateMainWindow("pache", kMainWindowTitle);
  }
  void TearDown() override {
    std::fclose(out);
    std::fclose(err);
  }

  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::unique_ptr<HeadlessWindowSystem> windows;
  Recorder recorder;
};

TEST_F(HeadlessTest, MessageBoxesAndTitlesArePrintedInUtf8) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, 0u);
  EXPECT_EQ(windows->MessageBox(0, kNotInstalledText, kNotInstalledCaption, MB_SYSTEMMODAL), IDOK);
  EXPECT_TRUE(windows->SetWindowText(main, kTitleWaiting));
  EXPECT_EQ(Contents(out),
            "[\u304a\u9858\u3044] \u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3055\u308c\u3066\u3044"
            "\u306a\u3044\u304b\u3001\u30ec\u30b8\u30b9\u30c8\u30ea\u306b\u767b\u9332\u3055\u308c"
            "\u3066\u304a\u308a\u307e\u305b\u3093\n\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u76f4"
            "\u3057\u3066\u304b\u3089\u3001\u3082\u3046\u4e00\u5ea6\u5b9f\u884c\u3057\u3066\u304f"
            "\u3060\u3055\u3044\u3002\n");
  EXPECT_EQ(Contents(err), "title: \u3057\u3070\u3089\u304f\u304a\u5f85\u3061\u304f\u3060\u3055\u3044\n");
}

TEST_F(HeadlessTest, TheWorkersTitleWaitsForThePump) {
  WindowHandle main = OpenMainWindow();
  std::atomic<bool> done{false};
  std::thread worker([&] {
    windows->SetWindowText(main, "C:\\Game\\a.dat");
    windows->SetWindowText(main, "C:\\Game\\b.dat");
    done = true;
  });
  // Until the window thread pumps, nothing is printed and the worker waits.
  usleep(50 * 1000);
  EXPECT_FALSE(done.load());
  EXPECT_EQ(Contents(err), "");
  Message message;
  while (!done.load()) windows->PeekMessage(&message);
  worker.join();
  EXPECT_EQ(Contents(err), "title: C:\\Game\\a.dat\ntitle: C:\\Game\\b.dat\n");
}

TEST_F(HeadlessTest, ACloseSignalClosesTheMainWindow) {
  WindowHandle main = OpenMainWindow();
  Message message;
  EXPECT_FALSE(windows->PeekMessage(&message));
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ASSERT_EQ(raise(signal), 0);
  }
  ASSERT_TRUE(windows->PeekMessage(&message));
  EXPECT_EQ(message.window, main);
  EXPECT_EQ(message.message, WM_CLOSE);
  windows->DispatchMessage(message);
  // One close for the three signals; the window is gone and the run ends.
  ASSERT_TRUE(windows->PeekMessage(&message));
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(recorder.messages, (std::vector<std::uint32_t>{WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(windows->SetWindowText(main, "late"));
  EXPECT_FALSE(windows->BringOwnWindowToFront("pache"));
}

struct MenuRecord {
  WindowSystem* windows = nullptr;
  std::vector<std::uint32_t> messages;
  std::uintptr_t command = 0;
};

bool MenuProc(void* context, WindowHandle dialog, std::uint32_t message, std::uintptr_t wParam,
              std::intptr_t) {
  auto* record = static_cast<MenuRecord*>(context);
  record->messages.push_back(message);
  if (message == WM_COMMAND) {
    record->command = wParam;
    record->windows->EndDialog(dialog, static_cast<std::intptr_t>(wParam));
  }
  return true;
}

TEST_F(HeadlessTest, TheMenuTakesItsAnswer) {
  struct Case {
    std::optional<std::string> environment;
    const char* input;  // standard input, when the environment says nothing
    int expected;
  };
  const Case cases[] = {
      {"start", "", IDC_START},
      {"quit", "start\n", IDC_QUIT},
      {"bogus", "", IDC_QUIT},
      {std::nullopt, "start\nquit\n", IDC_START},
      {std::nullopt, "  start \r\n", IDC_START},
      {std::nullopt, "quit\n", IDC_QUIT},
      {std::nullopt, "yes\n", IDC_QUIT},
      {std::nullopt, "", IDC_QUIT},  // end of input
  };
  for (const Case& c : cases) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], c.input, strlen(c.input)), static_cast<ssize_t>(strlen(c.input)));
    close(fds[1]);
    auto menu = Make(c.environment, fds[0]);
    MenuRecord record{menu.get(), {}, 0};
    EXPECT_EQ(menu->DialogBox(IDD_PATCH_MENU, 1, MenuProc, &record), c.expected) << c.input;
    EXPECT_EQ(record.messages, (std::vector<std::uint32_t>{WM_INITDIALOG, WM_COMMAND}));
    EXPECT_EQ(record.command, static_cast<std::uintptr_t>(c.expected));
    close(fds[0]);
  }
  EXPECT_EQ(Contents(out).substr(0, Contents(out).find('\n') + 1),
            "[\u30d1\u30c3\u30c1\u30e1\u30cb\u30e5\u30fc] \u66f4\u65b0\u958b\u59cb = start, "
            "\u7d42\u4e86 = quit\n");
}

TEST_F(HeadlessTest, ACloseSignalAtTheMenuQuits) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // input that never comes
  auto menu = Make(std::nullopt, fds[0]);
  MenuRecord record{menu.get(), {}, 0};
  ASSERT_EQ(raise(SIGINT), 0);
  EXPECT_EQ(menu->DialogBox(IDD_PATCH_MENU, 1, MenuProc, &record), IDC_QUIT);
  EXPECT_TRUE(TakeCloseSignals());
  close(fds[0]);
  close(fds[1]);
}

TEST_F(HeadlessTest, OnlyTheMenuDialogExists) {
  auto menu = Make("start");
  MenuRecord record{menu.get(), {}, 0};
  EXPECT_EQ(menu->DialogBox(999, 1, MenuProc, &record), -1);
  EXPECT_TRUE(record.messages.empty());
  EXPECT_EQ(Contents(out), "");
}

}  // namespace
}  // namespace pache::headless
