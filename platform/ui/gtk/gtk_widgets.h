// The GTK widgets of the desktop window system: how each kind of window
// looks. Window thread only.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "res/dialog_layout.h"
#include "res/dialog_template.h"

namespace pache::gtk {

// The look shared by all dialogs and boxes; once, after GTK has started.
void InstallStyles();

// The main window: one undrawn pixel at the top-left corner, undecorated,
// whose title shows in the taskbar.
GtkWidget* NewMainWindow();

// A modal message box over `owner` (may be null): the text and one OK
// button; `systemModal` keeps it above every other window. The caption is
// set by the caller on the window and in `*headerBar`.
GtkWidget* NewMessageBox(const std::string& text, GtkWidget* owner, bool systemModal,
                         GtkWidget** headerBar, GtkWidget** okButton);

// A modal dialog window over `owner` (may be null) for `dialog`, set in its
// font (`fontName` in UTF-8), without controls: centred on the work area
// when the template asks, a caption bar without a close box.
GtkWidget* NewDialogWindow(const DialogTemplate& dialog, const std::string& fontName,
                           GtkWidget* owner, GtkWidget** headerBar);

// The dialog manager's base units for `window` in the given font.
DialogBaseUnits DialogFontBaseUnits(GtkWidget* window, const std::string& fontName,
                                    int pointSize);

// The client area of a dialog: a fixed-size area that controls are put on.
GtkWidget* NewDialogClient(GtkWidget* window, int width, int height);

// A push button of the rectangle's size.
GtkWidget* NewPushButton(const std::string& label, const PixelRect& rect);

// A static control showing bitmap `bitmapId` of the program from its
// top-left corner, cut to the rectangle's size; empty when there is no
// such bitmap.
GtkWidget* NewBitmapView(int bitmapId, const PixelRect& rect);

// Raises `window` and gives it the keyboard, also when asked from outside
// the program (another copy).
void Present(GtkWidget* window);

}  // namespace pache::gtk
