#pragma once
// The data folder (settings file, files fetched at login, the HTML work folder) and the
// settings file "quilo-maker.ini" in it. Errors of the settings file are swallowed.

#include <QString>

// $QUILO_HOME when set, else ~/.local/share/quilo-maker; created on first use.
QString DataFolder();
QString SettingsFileName();

QString ReadSetting(const QString& section, const QString& key, const QString& def = {});
void WriteSetting(const QString& section, const QString& key, const QString& value);

struct FormPosition {
    int stat = 0; // 0 normal, 1 minimised, 2 maximised
    int left = 0;
    int top = 0;
    int width = 1024;
    int height = 730;
};

// Section "F_" + form name.
void SaveFormPosition(const QString& formName, const FormPosition& position);
FormPosition RestoreFormPosition(const QString& formName);
void WriteFormSetting(const QString& formName, const QString& key, const QString& value);
QString ReadFormSetting(const QString& formName, const QString& key, const QString& def = {});

// Production server base URL: $QUILO_SERVER_URL, else "SERVER"/"BaseURL", else the local
// reference server. No trailing "/".
QString ServerBaseURL();
// Public content site base URL ("SERVER"/"ContentURL").
QString ContentBaseURL();
