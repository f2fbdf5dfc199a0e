#include "store/settings.h"

#include <QSettings>
#include <QStringList>
#include <memory>

#include "amount/number.h"

namespace tf::print {

namespace {

std::unique_ptr<QSettings> OpenStore(const AppContext& ctx) {
    if (!ctx.settingsFile.isEmpty())
        return std::make_unique<QSettings>(ctx.settingsFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Tallyform"), QStringLiteral("Tallyform"));
}

QString KeyPath(const QString& app, const QString& section, const QString& key) {
    return app + u'/' + section + u'/' + key;
}

}  // namespace

QString ReadSetting(const AppContext& ctx, const QString& app, const QString& section,
                    const QString& key) {
    const auto store = OpenStore(ctx);
    // A malformed line elsewhere in the file does not spoil the keys that were read (and Qt
    // reports it only to the first reader in a run); only an unreadable file reads as empty.
    if (store->status() == QSettings::AccessError) return {};
    const QVariant value = store->value(KeyPath(app, section, key));
    // A hand-edited INI line with commas reads back as a list; it was one text.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(u',');
    return value.toString();
}

bool WriteSetting(const AppContext& ctx, const QString& app, const QString& section,
                  const QString& key, const QString& value) {
    const auto store = OpenStore(ctx);
    if (store->status() == QSettings::AccessError || !store->isWritable()) return false;
    store->setValue(KeyPath(app, section, key), value);
    store->sync();
    return store->status() == QSettings::NoError;
}

QString SettingsFilePath(const AppContext& ctx) {
    return OpenStore(ctx)->fileName();
}

double OffsetFromSetting(const QString& text) {
    if (text.isEmpty()) return kAssumedMarginMm - kCalibrationMarginMm;
    return LenientNumber(text) - kCalibrationMarginMm;
}

Offsets ReadOffsets(const AppContext& ctx) {
    Offsets o;
    o.x = OffsetFromSetting(ReadSetting(ctx, SettingsApp(), CollateSection(), QStringLiteral("X")));
    o.y = OffsetFromSetting(ReadSetting(ctx, SettingsApp(), CollateSection(), QStringLiteral("Y")));
    return o;
}

}  // namespace tf::print
