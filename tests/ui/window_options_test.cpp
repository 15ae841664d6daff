// The cached option flags read from the settings file.
#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "tests/testing/test_env.h"
#include "ui/window_options.h"

namespace nusk {
namespace {

TEST(UiWindowOptions, DefaultsRangesAndOldSystems) {
  testing::TempDir dir;
  const WindowOptions none = ReadWindowOptions(SettingsFile(dir.Sub(u"missing.ini")));
  EXPECT_EQ(none.zoom_scale, 100);
  EXPECT_EQ(none.thumbnail_size, 48);
  EXPECT_TRUE(none.auto_stretch_columns);
  EXPECT_TRUE(none.status_bar);
  EXPECT_TRUE(none.close_by_esc);
  EXPECT_FALSE(none.close_to_tray);

  const SettingsFile file(
      dir.WriteFile(u"nusk.ini",
                    "[Options]\r\nCloseByEsc=0\r\nHumanReadableSize=1\r\nExplorerStyleList=1\r\nRibbonUI=1\r\n"
                    "AltRowGroupColor=1\r\nThumbnailSize=999\r\nStatusBar=0\r\nSearchButton=2\r\n"
                    "[UIState]\r\nZoomScale=5000\r\nThumbnailsView=1\r\n"));
  const WindowOptions o = ReadWindowOptions(file);
  EXPECT_FALSE(o.close_by_esc);
  EXPECT_TRUE(o.human_readable_size);
  EXPECT_TRUE(o.explorer_style_list);
  EXPECT_TRUE(o.thumbnails_view);
  EXPECT_FALSE(o.status_bar);
  EXPECT_FALSE(o.search_button);  // only 1 is on
  EXPECT_EQ(o.thumbnail_size, 256);
  EXPECT_EQ(o.zoom_scale, 100);  // out of range reads as the default
  const WindowOptions old = ReadWindowOptions(file, false);
  EXPECT_FALSE(old.ribbon_ui);
  EXPECT_FALSE(old.explorer_style_list);
  EXPECT_FALSE(old.thumbnails_view);
  EXPECT_FALSE(old.alt_row_group_color);
  EXPECT_FALSE(old.close_by_esc);
  EXPECT_TRUE(old.human_readable_size);
}

}  // namespace
}  // namespace nusk
