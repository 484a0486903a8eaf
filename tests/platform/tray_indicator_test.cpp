// Run under xvfb-run: the toolkit needs a (virtual) display.
#include "platform/tray_indicator.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "toolkit_loop.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

using namespace std::chrono_literals;
using wrenfold::testing::run_loop_until;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

TEST(TrayPicture, WithoutAnIconFileItIsAPlainDarkSquare)
{
    TempDir dir;
    EXPECT_FALSE(wrenfold::platform::write_tray_icon_png(dir / "missing.ico", dir / "generated.png"));
    GdkPixbuf* generated = gdk_pixbuf_new_from_file((dir / "generated.png").c_str(), nullptr);
    ASSERT_TRUE(generated);
    EXPECT_EQ(gdk_pixbuf_get_width(generated), 64);
    EXPECT_EQ(gdk_pixbuf_get_height(generated), 64);
    const guchar* pixels = gdk_pixbuf_get_pixels(generated);
    int stride = gdk_pixbuf_get_rowstride(generated);
    int channels = gdk_pixbuf_get_n_channels(generated);
    for (int at : { 0, 63 * stride + 63 * channels, 32 * stride + 10 * channels }) {
        SCOPED_TRACE(at);
        EXPECT_EQ(pixels[at], 15);
        EXPECT_EQ(pixels[at + 1], 21);
        EXPECT_EQ(pixels[at + 2], 33);
    }
    g_object_unref(generated);
}

TEST(TrayPicture, AnIconFileThatCannotBeReadIsNotTaken)
{
    TempDir dir;
    write_text(dir / "broken.ico", "not an icon");
    EXPECT_FALSE(wrenfold::platform::write_tray_icon_png(dir / "broken.ico", dir / "from-broken.png"));
}

TEST(TrayPicture, AReadableIconFileIsTakenAsItIs)
{
    TempDir dir;
    GdkPixbuf* red = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 16, 16);
    gdk_pixbuf_fill(red, 0xff000000u);
    gdk_pixbuf_save(red, (dir / "logo.png").c_str(), "png", nullptr, nullptr);
    g_object_unref(red);
    EXPECT_TRUE(wrenfold::platform::write_tray_icon_png(dir / "logo.png", dir / "from-file.png"));
    GdkPixbuf* copied = gdk_pixbuf_new_from_file((dir / "from-file.png").c_str(), nullptr);
    ASSERT_TRUE(copied);
    EXPECT_EQ(gdk_pixbuf_get_width(copied), 16);
    EXPECT_EQ(gdk_pixbuf_get_pixels(copied)[0], 255);
    g_object_unref(copied);
}

TEST(TrayHost, AnXSystemTrayCountsAsATrayThatShowsTheIcon)
{
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    EXPECT_FALSE(wrenfold::platform::tray_host_present()) << "a bare display has no tray";

    // Stand in for a tray: own the display's system-tray selection.
    GtkWidget* tray = gtk_invisible_new();
    gtk_widget_realize(tray);
    ASSERT_TRUE(gdk_selection_owner_set(gtk_widget_get_window(tray), gdk_atom_intern("_NET_SYSTEM_TRAY_S0", FALSE),
                                        GDK_CURRENT_TIME, TRUE));
    EXPECT_TRUE(wrenfold::platform::tray_host_present());
    gtk_widget_destroy(tray);
    run_loop_until([] { return !wrenfold::platform::tray_host_present(); });
    EXPECT_FALSE(wrenfold::platform::tray_host_present());
}
