#include "shell/Settings.h"

#include "shell/IniFile.h"

#include <QDir>
#include <QStandardPaths>

QString DataFolder()
{
    QString dir = qEnvironmentVariable("QUILO_HOME");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/quilo-maker";
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

QString SettingsFileName() { return DataFolder() + "/quilo-maker.ini"; }

QString ReadSetting(const QString& section, const QString& key, const QString& def)
{
    return IniRead(SettingsFileName(), section, key, def);
}

void WriteSetting(const QString& section, const QString& key, const QString& value)
{
    IniWrite(SettingsFileName(), section, key, value);
}

void SaveFormPosition(const QString& formName, const FormPosition& p)
{
    const QString file = SettingsFileName();
    IniFile ini(file);
    const QString section = "F_" + formName;
    ini.setValue(section, "Stat", QString::number(p.stat));
    ini.setValue(section, "Left", QString::number(p.left));
    ini.setValue(section, "Top", QString::number(p.top));
    ini.setValue(section, "Width", QString::number(p.width));
    ini.setValue(section, "Height", QString::number(p.height));
    ini.save(file);
}

FormPosition RestoreFormPosition(const QString& formName)
{
    const IniFile ini(SettingsFileName());
    const QString section = "F_" + formName;
    FormPosition p;
    auto read = [&](const char* key, int def) {
        bool ok = false;
        const int v = ini.value(section, key).toInt(&ok);
        return ok ? v : def;
    };
    p.stat = read("Stat", 0);
    p.left = read("Left", 0);
    p.top = read("Top", 0);
    p.width = read("Width", 1024);
    p.height = read("Height", 730);
    return p;
}

void WriteFormSetting(const QString& formName, const QString& key, const QString& value)
{
    WriteSetting("F_" + formName, key, value);
}

QString ReadFormSetting(const QString& formName, const QString& key, const QString& def)
{
    return ReadSetting("F_" + formName, key, def);
}

static QString StripSlash(QString url)
{
    url = url.trimmed();
    while (url.endsWith('/'))
        url.chop(1);
    return url;
}

QString ServerBaseURL()
{
    const QString env = qEnvironmentVariable("QUILO_SERVER_URL");
    if (!env.trimmed().isEmpty())
        return StripSlash(env);
    const QString url = StripSlash(ReadSetting("SERVER", "BaseURL"));
    return url.isEmpty() ? QStringLiteral("http://127.0.0.1:8079") : url;
}

QString ContentBaseURL()
{
    // Unless set, the content site is served beside the production server.
    const QString url = StripSlash(ReadSetting("SERVER", "ContentURL"));
    return url.isEmpty() ? ServerBaseURL() + "/content" : url;
}
