#pragma once
// The rules of the validated one-line edit: which typed characters a field takes, and how a
// date, time or decimal is checked and normalised when the operator leaves the field.

#include <QChar>
#include <QDate>
#include <QString>

enum class EditKind { Plain, Date, Time, Decimal, Integer };
enum class EditCharCase { Normal, Upper, Lower };

enum class CharVerdict {
    Accept,  // the kind's own character: inserted, nothing more happens
    Refuse,  // dropped with a beep
    PassOn,  // goes on to the common handling (Enter, Esc, apostrophe, case)
};

// `caret` is where the character would be inserted; it matters for the integer minus sign.
CharVerdict FilterTypedChar(EditKind kind, QChar c, int caret);

// Case folding of ASCII letters only; Hangul and other letters stay as typed.
QChar FoldCase(QChar c, EditCharCase charCase);

// A pasted or dropped text put through the same rules as typing it character by character:
// refused characters are dropped, apostrophes and line breaks never get in.
struct FilteredInsert {
    QString text;
    bool refused = false;  // something was refused with a beep
};
FilteredInsert FilterInsertedText(EditKind kind, const QString& text, int caret, EditCharCase charCase);

struct NormalizedValue {
    bool valid = false;
    QString text;  // the text to put into the field when valid
};

// Each takes the field's text as typed. An empty (or blank) text is accepted unchanged.
NormalizedValue NormalizeDate(const QString& text, const QDate& today);
NormalizedValue NormalizeTime(const QString& text);
NormalizedValue NormalizeDecimal(const QString& text);
// Plain and integer fields are never checked on leaving.
NormalizedValue NormalizeByKind(EditKind kind, const QString& text, const QDate& today);

// "일자 입력이 잘못되었습니다." and its time and decimal counterparts; empty for other kinds.
QString InvalidEntryMessage(EditKind kind);
