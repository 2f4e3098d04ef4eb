#pragma once
// The program version against the one published on the server, and the small texts of the
// program update.

#include <QString>
#include <QStringList>

inline const QString VersionFilePath = QStringLiteral("/ASP/ProgramUpdate/VUXVersion.txt");
inline const QString UpdaterFilePath = QStringLiteral("/ASP/ProgramUpdate/Tupdate.exe");
inline const QString UpdaterFileName = QStringLiteral("Tupdate.exe");

// Smallest updater the server can really hold; anything shorter is an error page.
constexpr qint64 MinUpdaterSize = 10000;

// True when `published` (trimmed; four dot-separated non-negative integers) is newer than
// `program`, compared number by number from the first. Any malformed text gives false.
bool IsNewerVersion(const QString& published, const QString& program);

class THttpClient;

// Asks the server for the published version (blocking); the trimmed published text when it is
// newer than `programVersion`, otherwise empty. Every failure is silent.
QString CheckPublishedVersion(THttpClient& http, const QString& programVersion);

// "FileSize : 1,234,567bytes"
QString FileSizeText(qint64 bytes);

// The updater's arguments after its own path: the server base URL and this program's file name.
QStringList UpdaterArguments(const QString& baseUrl, const QString& programFilePath);
