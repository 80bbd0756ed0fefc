// Settings through QSettings: texts as strings, numbers as unsigned integers. The file keeps
// both as text, so a value reads as absent only when it is missing or cannot be converted.
#include "app/qt/SettingsPlatform.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace qtapp {
namespace {

QString Key(const WChar* name) { return QString::fromUtf16(name); }

// A settings object per call: Qt shares what it read between them, and each write is on disk
// when the call returns.
std::unique_ptr<QSettings> Store() {
    return std::make_unique<QSettings>(QStringLiteral("Kestrum"), QStringLiteral("Kestrum"));
}

bool Written(QSettings& settings) {
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace

bool CSettingsPlatform::ReadSettingText(const WChar* name, WString& value) {
    const QVariant stored = Store()->value(Key(name));
    if (!stored.isValid() || !stored.canConvert<QString>()) {
        return false;
    }
    const QString text = stored.toString();
    value.assign(reinterpret_cast<const WChar*>(text.utf16()),
                 static_cast<std::size_t>(text.size()));
    return true;
}

bool CSettingsPlatform::WriteSettingText(const WChar* name, const WString& value) {
    const std::unique_ptr<QSettings> pStore = Store();
    pStore->setValue(Key(name),
                     QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size())));
    return Written(*pStore);
}

bool CSettingsPlatform::ReadSettingNumber(const WChar* name, std::uint32_t& value) {
    bool bNumber = false;
    const QVariant stored = Store()->value(Key(name));
    const uint number = stored.toUInt(&bNumber);
    if (!stored.isValid() || !bNumber) {
        return false;
    }
    value = number;
    return true;
}

bool CSettingsPlatform::WriteSettingNumber(const WChar* name, std::uint32_t value) {
    const std::unique_ptr<QSettings> pStore = Store();
    pStore->setValue(Key(name), static_cast<uint>(value));
    return Written(*pStore);
}

}  // namespace qtapp
