// The boundary between the core and the machine.
//
// The core (app/, data/, check/, apply/) reaches files, the registry, the
// window system, threads and the clock only through these interfaces. Each
// operation is shaped at the level the core speaks, so that a native Windows
// backend would be thin pass-throughs to the ANSI API; the Linux host backend
// (platform/host/, platform/ui/) and the in-memory fake (tests/fake/) give
// the same results.
//
// Conventions: texts are zero-terminated byte strings in the ANSI code page
// (932 unless configured otherwise). Results are true/false or a count, as
// on Windows; no operation throws. An out-argument is defined only when the
// call succeeded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

namespace pache {

// ---------------------------------------------------------------- files ----

// An open file; 0 is "no file" (INVALID_HANDLE_VALUE on Windows).
using FileHandle = std::uintptr_t;
inline constexpr FileHandle kNoFile = 0;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // CreateFileA(path, GENERIC_READ, share 0, NULL, OPEN_EXISTING,
  // FILE_ATTRIBUTE_NORMAL, NULL). No sharing: while the handle is open a
  // second open of the same file fails. kNoFile when the file cannot be
  // opened (missing, a folder, already open, no permission).
  virtual FileHandle OpenForReading(const char* path) = 0;

  // CreateFileA(path, GENERIC_WRITE, share 0, NULL, CREATE_ALWAYS,
  // attributes, NULL). Refused (kNoFile) over an existing file that is
  // read-only, or that is hidden or system when `attributes` lacks those
  // bits. What is written becomes the file's content only when the handle is
  // closed after every write succeeded: until then the old file is intact.
  virtual FileHandle CreateAlways(const char* path, std::uint32_t attributes) = 0;

  // GetFileSize: the low 32 bits of the size of an open file;
  // INVALID_FILE_SIZE when it cannot be had, so that a failure never reads
  // as an empty file.
  virtual std::uint32_t GetSize(FileHandle file) = 0;

  // SetFilePointer to the start, then one ReadFile of `size` bytes.
  // Returns the number of bytes read (0 on failure).
  virtual std::uint32_t ReadFromStart(FileHandle file, void* buffer, std::uint32_t size) = 0;

  // WriteFile: true when all `size` bytes were written.
  virtual bool Write(FileHandle file, const void* bytes, std::uint32_t size) = 0;

  // CloseHandle. For a file made by CreateAlways this commits it: false when
  // the new content could not be put in place (the old file then survives).
  virtual bool Close(FileHandle file) = 0;

  // CopyFileA(source, target, failIfExists) with Windows semantics: a target
  // that exists and is read-only or hidden is refused and left untouched;
  // otherwise the target gets the source's content, time and attributes,
  // and no reader ever sees a partly written target.
  virtual bool CopyFile(const char* source, const char* target, bool failIfExists) = 0;

  // SetFileAttributesA.
  virtual bool SetAttributes(const char* path, std::uint32_t attributes) = 0;

  // CreateDirectoryA(path, NULL): one level; false when the parent is
  // missing or the path exists.
  virtual bool CreateDirectory(const char* path) = 0;

  // GetCurrentDirectoryA(size, buffer): the length of the text written (no
  // trailing backslash, except for a drive root), or 0 when it does not fit.
  virtual std::uint32_t GetCurrentDirectory(char* buffer, std::uint32_t size) = 0;
};

// ------------------------------------------------------------- registry ----

// A registry key: one of the predefined roots (win32.h, HKEY_*) or a key
// opened by OpenKey/CreateKey. 0 is "no key".
using RegKey = std::uint32_t;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA(root, subkey, 0, access, &key). An empty subkey opens the
  // root itself. False when the key is missing or the access is not granted
  // (a key that the user may only read refuses KEY_ALL_ACCESS).
  virtual bool OpenKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) = 0;

  // RegCreateKeyExA(root, subkey, 0, "", REG_OPTION_NON_VOLATILE, access,
  // NULL, &key, &disposition): opens the key, creating it when missing.
  virtual bool CreateKey(RegKey root, const char* subkey, std::uint32_t access, RegKey* key) = 0;

  // RegQueryValueExA with NT semantics. `data` null is the size probe.
  // On entry *size is the buffer's size; on success it is the data's size
  // and *type its type. A string value shorter than the buffer whose last
  // byte is not zero gets one uncounted zero after it. False when the value
  // is missing, or (with *size set to the data's size) when the buffer is
  // too small; the buffer is then untouched.
  virtual bool QueryValue(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) = 0;

  // RegSetValueExA with NT semantics: for string types, when size > 0, the
  // byte at data[size - 1] is not zero and the byte at data[size] is zero,
  // the zero is stored too. Creates or replaces the value.
  virtual bool SetValue(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) = 0;

  // RegCloseKey. Closing a predefined root does nothing.
  virtual void CloseKey(RegKey key) = 0;
};

// ------------------------------------------------------- window system ----

// A window: the main window, a dialog or one of its controls. 0 is none.
using WindowHandle = std::uintptr_t;

struct Message {
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

using WindowProc = std::intptr_t (*)(void* context, WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam);
// A dialog procedure returns true for a message it handled.
using DialogProc = bool (*)(void* context, WindowHandle dialog, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam);

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // RegisterClassA of the main window's class (win32.h: CS_HREDRAW |
  // CS_VREDRAW, the standard icon and arrow cursor, no brush, no menu).
  // `context` is handed back to `procedure` on every call.
  virtual bool RegisterWindowClass(const char* className, WindowProc procedure, void* context) = 0;

  // CreateWindowExA(0, className, title, WS_POPUP, 0, 0, 0, 0, ...): the
  // zero-size, never drawn main window. 0 when it cannot be created.
  virtual WindowHandle CreateMainWindow(const char* className, const char* title) = 0;

  // ShowWindow and UpdateWindow.
  virtual void ShowWindow(WindowHandle window, int command) = 0;
  virtual void UpdateWindow(WindowHandle window) = 0;

  // SetWindowTextA. Called from another thread than the window's, it is
  // carried out by the window thread's message pump (PeekMessage) and the
  // caller waits until then.
  virtual bool SetWindowText(WindowHandle window, const char* text) = 0;

  // MessageBoxA: modal, one OK button for the flags the program uses
  // (MB_OK, MB_SYSTEMMODAL). Returns IDOK once confirmed. Called from another
  // thread than the owner's, the box is modal to the calling thread and the
  // owner's thread goes on.
  virtual int MessageBox(WindowHandle owner, const char* text, const char* caption,
                         std::uint32_t flags) = 0;

  // DialogBoxParamA(instance, MAKEINTRESOURCE(dialogId), owner, procedure,
  // 0): runs the modal dialog until the procedure calls EndDialog; returns
  // EndDialog's result, or -1 when the dialog cannot be shown (the procedure
  // is then never called).
  virtual std::intptr_t DialogBox(int dialogId, WindowHandle owner, DialogProc procedure,
                                  void* context) = 0;
  virtual void EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  // GetDlgItem: a control of a dialog by its ID.
  virtual WindowHandle GetDialogItem(WindowHandle dialog, int id) = 0;

  // PeekMessageA(&message, NULL, 0, 0, PM_REMOVE) on the calling thread's
  // queue. This is also where cross-thread calls on this thread's windows
  // (SetWindowText from the worker, close requests) are carried out.
  virtual bool PeekMessage(Message* message) = 0;
  virtual void TranslateMessage(const Message& message) = 0;
  virtual std::intptr_t DispatchMessage(const Message& message) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  // DefWindowProcA: a close request (WM_CLOSE) destroys the window, which
  // sends WM_DESTROY to its procedure.
  virtual std::intptr_t DefWindowProc(WindowHandle window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam) = 0;

  // The other running copy: finds its main window by class name, restores
  // it when minimised and brings its last active popup (its menu or message
  // box, else the window itself) to the foreground (FindWindowA, IsIconic,
  // ShowWindow(SW_RESTORE), SetForegroundWindow(GetLastActivePopup)).
  // False when no such window exists.
  virtual bool BringOtherInstanceToFront(const char* className) = 0;
};

// ------------------------------------------- processes, threads, time ----

enum class InstanceLockResult { Acquired, AlreadyExists, Failed };

class System {
 public:
  virtual ~System() = default;

  // CreateMutexA(NULL, TRUE, name), kept until the process ends. Acquired:
  // this is the only copy; AlreadyExists: another copy holds the name.
  virtual InstanceLockResult AcquireInstanceLock(const char* name) = 0;

  // GetTickCount: milliseconds, wrapping at 2^32.
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // Starts a detached thread with the default stack size. False when it
  // cannot be started.
  virtual bool StartThread(void (*body)(void*), void* argument) = 0;

  // GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size) and GlobalFree. Null when
  // no memory can be had.
  virtual void* Allocate(std::size_t size) = 0;
  virtual void Release(void* block) = 0;
};

// Everything the core may call, handed to it in the session.
struct Platform {
  FileSystem& files;
  Registry& registry;
  WindowSystem& windows;
  System& system;
};

}  // namespace pache
