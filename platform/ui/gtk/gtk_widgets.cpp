#include "platform/ui/gtk/gtk_widgets.h"
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <vector>

#include "res/bitmap.h"
#include "res/images.h"

namespace pache::gtk {

namespace {

// Japanese Gothic faces that stand in for a Windows font that this machine
// does not have.
constexpr char kFallbackFamilies[] = "IPAPGothic,IPAGothic,Noto Sans CJK JP,sans-serif";
constexpr int kMessageBoxPointSize = 9;

// `name` followed by the stand-ins, as Pango takes a family list.
std::string FamilyList(const std::string& name) {
  std::string families;
  for (char c : name) {
    if (c != ',' && c != '"' && c != '\\') families += c;
  }
  return families.empty() ? kFallbackFamilies : families + "," + kFallbackFamilies;
}

// The same list as a CSS font-family value.
std::string CssFamilies(const std::string& families) {
  std::string css = "\"";
  for (char c : families) css += c == ',' ? std::string("\", \"") : std::string(1, c);
  return css + "\"";
}

void AddScreenStyle(GtkCssProvider* provider, const std::string& css) {
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                            GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GtkWidget* NewHeaderBar(GtkWidget* window, bool closeBox) {
  GtkWidget* headerBar = gtk_header_bar_new();
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(headerBar), closeBox);
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(headerBar), closeBox ? ":close" : ":");
  gtk_window_set_titlebar(GTK_WINDOW(window), headerBar);
  gtk_widget_show(headerBar);
  return headerBar;
}

// Settings shared by dialogs and boxes.
GtkWidget* NewPopup(const char* name, GtkWidget* owner) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(window, name);
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_modal(GTK_WINDOW(window), TRUE);
  // The owner is the tiny main window: centre on the work area, not on it.
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  if (owner != nullptr) {
    gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner));
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
  }
  return window;
}

}  // namespace

void InstallStyles() {
  AddScreenStyle(gtk_css_provider_new(),
                 "#pache-box, #pache-box * { font-family: " + CssFamilies(kFallbackFamilies) +
                     "; font-size: " + std::to_string(kMessageBoxPointSize) +
                     "pt; }\n"
                     // Buttons take exactly the size the template gives them.
                     "#pache-dialog button { min-height: 0; min-width: 0; padding: 0 2px; }\n");
}

GtkWidget* NewMainWindow() {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_icon_name(GTK_WINDOW(window), "application-x-executable");
  gtk_widget_set_size_request(window, 1, 1);
  gtk_window_move(GTK_WINDOW(window), 0, 0);
  gtk_widget_set_app_paintable(window, TRUE);
  g_signal_connect(window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*) -> gboolean {
                     return TRUE;  // never drawn
                   }),
                   nullptr);
  return window;
}

GtkWidget* NewMessageBox(const std::string& text, GtkWidget* owner, bool systemModal,
                         GtkWidget** headerBar, GtkWidget** okButton) {
  GtkWidget* window = NewPopup("pache-box", owner);
  gtk_window_set_keep_above(GTK_WINDOW(window), systemModal);
  *headerBar = NewHeaderBar(window, true);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 16);
  gtk_container_set_border_width(GTK_CONTAINER(column), 18);
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_box_pack_start(GTK_BOX(column), label, TRUE, TRUE, 0);

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  *okButton = gtk_button_new_with_label("OK");
  gtk_widget_set_size_request(*okButton, 88, -1);
  gtk_widget_set_can_default(*okButton, TRUE);
  gtk_container_add(GTK_CONTAINER(buttons), *okButton);
  gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), column);
  gtk_widget_grab_default(*okButton);
  gtk_widget_grab_focus(*okButton);
  return window;
}

GtkWidget* NewDialogWindow(const DialogTemplate& dialog, const std::string& fontName,
                           GtkWidget* owner, GtkWidget** headerBar) {
  GtkWidget* window = NewPopup("pache-dialog", owner);
  if ((dialog.style & DS_CENTER) == 0) gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_NONE);
  // No system menu in the style, so no close box.
  gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
  if ((dialog.style & WS_CAPTION) == WS_CAPTION) {
    *headerBar = NewHeaderBar(window, false);
  } else {
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  }
  static GtkCssProvider* dialogFont = gtk_css_provider_new();
  AddScreenStyle(dialogFont, "#pache-dialog, #pache-dialog * { font-family: " +
                                 CssFamilies(FamilyList(fontName)) + "; font-size: " +
                                 std::to_string(dialog.fontPointSize) + "pt; }");
  return window;
}

DialogBaseUnits DialogFontBaseUnits(GtkWidget* window, const std::string& fontName,
                                    int pointSize) {
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, FamilyList(fontName).c_str());
  pango_font_description_set_size(font, pointSize * PANGO_SCALE);
  PangoLayout* layout =
      gtk_widget_create_pango_layout(window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  pango_layout_set_font_description(layout, font);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  PangoFontMetrics* metrics =
      pango_context_get_metrics(gtk_widget_get_pango_context(window), font, nullptr);
  // The height of a line of the font, which for the Gothic faces is the
  // character height that a 9-point Windows font has (12 pixels at 96 dpi).
  int fontHeight = PANGO_PIXELS(pango_font_metrics_get_height(metrics));
  if (fontHeight <= 0) {  // a font that does not tell its line height
    fontHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) +
                              pango_font_metrics_get_descent(metrics));
  }
  pango_font_metrics_unref(metrics);
  g_object_unref(layout);
  pango_font_description_free(font);
  return BaseUnitsOfFont(width, fontHeight);
}

GtkWidget* NewDialogClient(GtkWidget* window, int width, int height) {
  GtkWidget* client = gtk_fixed_new();
  gtk_widget_set_size_request(client, width, height);
  gtk_container_add(GTK_CONTAINER(window), client);
  gtk_widget_show(client);
  return client;
}

GtkWidget* NewPushButton(const std::string& label, const PixelRect& rect) {
  GtkWidget* button = gtk_button_new_with_label(label.c_str());
  gtk_widget_set_size_request(button, rect.width, rect.height);
  return button;
}

GtkWidget* NewBitmapView(int bitmapId, const PixelRect& rect) {
  GtkWidget* view = gtk_drawing_area_new();
  gtk_widget_set_size_request(view, rect.width, rect.height);
  IndexedBitmap bitmap;
  if (!ReadIndexedBitmap(FindBitmap(bitmapId), bitmap)) return view;
  std::vector<std::uint8_t> rgb = ToRgb(bitmap);
  GBytes* bytes = g_bytes_new(rgb.data(), rgb.size());
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, FALSE, 8, bitmap.width,
                                                bitmap.height, bitmap.width * 3);
  g_bytes_unref(bytes);
  g_object_set_data_full(G_OBJECT(view), "pache-bitmap", pixbuf, g_object_unref);
  g_signal_connect(view, "draw", G_CALLBACK(+[](GtkWidget* widget, cairo_t* cairo) -> gboolean {
                     auto* image = static_cast<GdkPixbuf*>(
                         g_object_get_data(G_OBJECT(widget), "pache-bitmap"));
                     gdk_cairo_set_source_pixbuf(cairo, image, 0, 0);
                     cairo_paint(cairo);
                     return TRUE;
                   }),
                   nullptr);
  return view;
}

void Present(GtkWidget* window) {
  guint32 time = GDK_CURRENT_TIME;
#ifdef GDK_WINDOWING_X11
  // A server timestamp lets the window manager raise us when another copy
  // asked, instead of treating it as a stolen focus.
  GdkWindow* surface = gtk_widget_get_window(window);
  if (surface != nullptr && GDK_IS_X11_WINDOW(surface)) time = gdk_x11_get_server_time(surface);
#endif
  gtk_window_present_with_time(GTK_WINDOW(window), time);
}

}  // namespace pache::gtk
