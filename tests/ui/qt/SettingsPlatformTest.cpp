// The desktop program's settings on Linux: a choice written by one run is read by the next.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/qt/SettingsPlatform.h"

namespace {

TEST(QtSettings, AChoiceSurvivesARestart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const WString tmpl = u"{albumartist}/[{year}, ]{title} \u266B";
    {
        qtapp::CSettingsPlatform os(platform::NativePlatform());
        ASSERT_TRUE(os.WriteSettingText(u"NameTemplate", tmpl));
        ASSERT_TRUE(os.WriteSettingNumber(u"SafeNames", 1));
    }
    ASSERT_TRUE(QFile::exists(dir.path() + QStringLiteral("/Kestrum/Kestrum.conf")));
    qtapp::CSettingsPlatform os(platform::NativePlatform());
    WString text;
    std::uint32_t dwSafe = 0;
    ASSERT_TRUE(os.ReadSettingText(u"NameTemplate", text));
    EXPECT_EQ(Utf8FromWide(text), Utf8FromWide(tmpl));
    ASSERT_TRUE(os.ReadSettingNumber(u"SafeNames", dwSafe));
    EXPECT_EQ(dwSafe, 1u);
    EXPECT_FALSE(os.ReadSettingNumber(u"NameTemplate", dwSafe));
    EXPECT_FALSE(os.ReadSettingText(u"Missing", text));
}

}  // namespace
