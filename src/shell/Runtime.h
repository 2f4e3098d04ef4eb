#pragma once
// Small services every window and command uses: checks, splitting, version, backups, folders.

#include <QDateTime>
#include <QString>
#include <QStringList>

class Interaction;

// The one trim of the program: removes space and control characters (code points up to
// U+0020) at both ends, and nothing else, so the full-width space U+3000 that indents Korean
// paragraphs and the no-break space stay.
QString TrimBlanks(const QString& s);

bool IsDigit(const QString& s);
bool IsIdChar(const QString& s);

// Clears `list` and cuts `text` at every `delimiter`; empty fields stay (",," gives three).
void SplitByChar(const QString& text, QStringList& list, QChar delimiter);

// The field splitting rule of the server replies and code tables: cut at any of `separators`
// and at CR and LF, drop empty pieces, keep a stretch between equal quotes (' or ") whole.
QStringList SplitFields(const QString& text, const QString& separators);

// "major.minor.release.build" of this program.
QString ProgramVersion();
QString ComputerName();

// "경과시간 HH:MM:SS" since `start`; hours are not wrapped at 24.
QString ElapsedText(const QDateTime& start, const QDateTime& now = QDateTime::currentDateTime());

// A numbered backup file.NNN{suffix} (the first free number from 001, at least three digits) of
// a file about to be rewritten atomically: a hard link (a copy where links are not possible), so
// `file` stays in place and its name holds a whole version even when the program dies before the
// new one is in.
QString BackupByLink(const QString& file, const QString& suffix);

// Removes a folder tree: into the desktop's trash when it can take it, else into the trash folder
// of the data folder, else for good; false when it is still there.
bool DeleteDirectory(const QString& dirPath);
bool RenameDirectory(const QString& dirFrom, const QString& dirTo);

// Trims `text`; when empty and `label` is not, tells "{label} : 반드시 입력해야합니다.".
// Returns true when the text is empty.
bool RequireInputText(QString& text, const QString& label, Interaction& ui);

// "작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?"
bool ConfirmRollback(Interaction& ui);
