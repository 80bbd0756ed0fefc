// The "Hidden" value as the desktop's show-hidden-files preference, on test schemas kept in
// memory so that the user's own settings are never touched.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Platform.h"
#include "platform/posix/ExplorerSetting.h"

namespace {

// GIO reads both variables once, at its first use, so they are set before any test runs.
const bool g_bEnvironment = [] {
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("GSETTINGS_SCHEMA_DIR", KESTRUM_TEST_SCHEMA_DIR, 1);
    return true;
}();

using platform::ExplorerKey;
namespace posix = platform::posix;

bool DesktopShowsHidden() {
    GSettings* settings = g_settings_new(posix::kFileChooserSchema);
    const bool bShow = g_settings_get_boolean(settings, posix::kShowHiddenKey) != 0;
    g_object_unref(settings);
    return bShow;
}

TEST(ExplorerSetting, ValuesMapToDesktopPreference) {
    ASSERT_TRUE(g_bEnvironment);
    platform::IPlatform& native = platform::NativePlatform();
    ExplorerKey key = native.OpenExplorerKey();
    ASSERT_NE(key, nullptr);
    struct Row {
        std::uint32_t written;
        bool bDesktop;
        std::uint32_t read;
    };
    for (const Row& row : {Row{2, false, 2}, Row{1, true, 1}, Row{0, false, 2}, Row{1, true, 1},
                           Row{0xFFFFFFFF, false, 2}, Row{3, false, 2}}) {
        SCOPED_TRACE(row.written);
        ASSERT_TRUE(native.SetHidden(key, row.written, 4));
        EXPECT_EQ(DesktopShowsHidden(), row.bDesktop);
        std::uint32_t value = 0;
        std::uint32_t size = 4;
        ASSERT_TRUE(native.QueryHidden(key, value, size));
        EXPECT_EQ(value, row.read);
        EXPECT_EQ(size, 4u);
    }
    native.CloseExplorerKey(key);
}

TEST(ExplorerSetting, ShortBuffersAreRefused) {
    ExplorerKey key = posix::OpenHiddenSetting(posix::kFileChooserSchema, posix::kShowHiddenKey);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(posix::SetHiddenSetting(key, 1, 4));

    std::uint32_t value = 99;
    std::uint32_t size = 2;
    EXPECT_FALSE(posix::QueryHiddenSetting(key, value, size));
    EXPECT_EQ(value, 99u);
    EXPECT_EQ(size, 4u);  // the room the value needs, as the registry reports it

    EXPECT_FALSE(posix::SetHiddenSetting(key, 2, 3));
    EXPECT_TRUE(DesktopShowsHidden());
    posix::CloseHiddenSetting(key);
}

// Each of these would abort inside GSettings if it were opened regardless.
TEST(ExplorerSetting, UnusableSchemasDoNotOpen) {
    struct Row {
        const char* schema;
        const char* key;
    };
    for (const Row& row : {Row{"org.kestrum.test.Absent", posix::kShowHiddenKey},
                           Row{"org.kestrum.test.WithoutKey", posix::kShowHiddenKey},
                           Row{"org.kestrum.test.TextKey", posix::kShowHiddenKey},
                           Row{"org.kestrum.test.Relocatable", posix::kShowHiddenKey},
                           Row{posix::kFileChooserSchema, "no-such-key"}}) {
        SCOPED_TRACE(row.schema);
        EXPECT_EQ(posix::OpenHiddenSetting(row.schema, row.key), nullptr);
    }
}

}  // namespace
