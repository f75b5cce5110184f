#pragma once

#include <QString>

#include <functional>

namespace platform {

// The per-user store of remembered values, addressed by application,
// section and key. Names match without regard to case and keep the case
// of the write that first created them. Every Read goes to the file, so
// two running editors see each other's writes; every Write changes one
// key under a lock and replaces the file atomically, so neither wipes the
// other's keys. A damaged or unreadable file reads as empty.
class SettingsStore
{
public:
    static QString Read(const QString &app, const QString &section, const QString &key,
                        const QString &defaultValue);
    static QString Read(const QString &app, const QString &section, const QString &key,
                        int defaultValue);
    static void Write(const QString &app, const QString &section, const QString &key,
                      const QString &value);

    // The file behind the store: $XDG_CONFIG_HOME/quillet-lite/settings.ini.
    static QString filePath();
};

// Who tells the user that the settings file could not be read in full and
// was kept under another name: called once per such file, with the message.
// Messages that come before a reporter is set wait for it; nullptr drops
// the reporter.
void setSettingsDamageReporter(std::function<void(const QString &message)> reporter);

// The application title every caller passes as the application name.
inline const QString &appTitle()
{
    static const QString title = QStringLiteral("Quillet Lite");
    return title;
}

// Shorthands for the two sections the editor uses.
QString readSetting(const QString &section, const QString &key, const QString &defaultValue);
QString readSetting(const QString &section, const QString &key, int defaultValue);
void writeSetting(const QString &section, const QString &key, const QString &value);

// A stored number, or the default when the value isn't a whole number.
int readNumberSetting(const QString &section, const QString &key, int defaultValue);

} // namespace platform
