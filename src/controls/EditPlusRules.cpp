#include "controls/EditPlusRules.h"

#include "shell/Runtime.h"

#include <QStringList>

namespace {

// Only plain ASCII digits count as a number: signs, spaces and full-width digits do not, so
// nothing the operator did not mean slips through (a pasted "-0.5" must not become "0.500").
bool ToNumber(const QString& s, qint64& value)
{
    if (s.isEmpty() || s.size() > 18)
        return false;
    qint64 v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    value = v;
    return true;
}

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

NormalizedValue Invalid()
{
    return {false, QString()};
}

} // namespace

CharVerdict FilterTypedChar(EditKind kind, QChar c, int caret)
{
    if (kind == EditKind::Plain || c.unicode() < 32)
        return CharVerdict::PassOn;
    if (IsAsciiDigit(c))
        return CharVerdict::Accept;
    switch (kind) {
    case EditKind::Date:
        if (c == u'-' || c == u'/')
            return CharVerdict::Accept;
        break;
    case EditKind::Time:
        if (c == u':')
            return CharVerdict::Accept;
        break;
    case EditKind::Decimal:
        if (c == u'.')
            return CharVerdict::Accept;
        break;
    case EditKind::Integer:
        if (c == u'-' && caret == 0)
            return CharVerdict::Accept;
        break;
    case EditKind::Plain:
        break;
    }
    return CharVerdict::Refuse;
}

QChar FoldCase(QChar c, EditCharCase charCase)
{
    if (charCase == EditCharCase::Upper && c >= u'a' && c <= u'z')
        return QChar(c.unicode() - u'a' + u'A');
    if (charCase == EditCharCase::Lower && c >= u'A' && c <= u'Z')
        return QChar(c.unicode() - u'A' + u'a');
    return c;
}

FilteredInsert FilterInsertedText(EditKind kind, const QString& text, int caret, EditCharCase charCase)
{
    FilteredInsert out;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        switch (FilterTypedChar(kind, c, caret + int(out.text.size()))) {
        case CharVerdict::Accept:
            out.text += c;
            break;
        case CharVerdict::Refuse:
            out.refused = true;
            break;
        case CharVerdict::PassOn:
            if (c == u'\'')
                break;
            if (c.unicode() < 32) {
                // A line break or tab in a plain field becomes one space; CR LF is one break.
                bool breakChar = c == u'\n' || c == u'\t' || (c == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n'));
                if (kind == EditKind::Plain && breakChar)
                    out.text += u' ';
                break;
            }
            out.text += FoldCase(c, charCase);
            break;
        }
    }
    return out;
}

NormalizedValue NormalizeDate(const QString& text, const QDate& today)
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty())
        return {true, text};
    QString commas = t;
    commas.replace(u'/', u',').replace(u'-', u',');
    const QStringList items = commas.split(u',');
    if (items.size() > 3)
        return Invalid();
    qint64 n[3] = {0, 0, 0};
    for (int i = 0; i < items.size(); ++i)
        if (!ToNumber(items[i], n[i]))
            return Invalid();
    const bool z = t.startsWith(u'0');

    qint64 year = 0, month = 0, day = 0;
    if (items.size() == 1) {
        const qint64 a = n[0];
        if (a == 0)
            return {true, text};
        if (a >= 1 && a <= 31) {
            day = a;
        } else if ((z && a >= 100 && a <= 999) || (a >= 1000 && a <= 9999)) {
            month = a / 100;
            day = a % 100;
        } else if ((z && a >= 10000 && a <= 99999) || (a >= 100000 && a <= 999999) ||
                   (a >= 10000000 && a <= 99999999)) {
            day = a % 100;
            month = (a / 100) % 100;
            year = a / 10000;
        } else {
            year = a;
        }
    } else if (items.size() == 2) {
        month = n[0];
        day = n[1];
    } else {
        year = n[0];
        month = n[1];
        day = n[2];
    }

    if (year == 0 && month == 0) {
        year = today.year();
        month = today.month();
    } else if (year == 0) {
        year = today.year();
    } else if (year >= 1 && year <= 99) {
        year += 2000;
    }
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return Invalid();
    if (!QDate::isValid(int(year), int(month), int(day)))
        return Invalid();
    return {true, QString::asprintf("%d-%.2d-%.2d", int(year), int(month), int(day))};
}

NormalizedValue NormalizeTime(const QString& text)
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty())
        return {true, text};
    const QStringList items = t.split(u':');
    if (items.size() != 2)
        return Invalid();
    qint64 hour = 0, minute = 0;
    if (!ToNumber(items[0], hour) || !ToNumber(items[1], minute))
        return Invalid();
    if (hour > 23 || minute > 59)
        return Invalid();
    return {true, QString::asprintf("%.2d:%.2d", int(hour), int(minute))};
}

NormalizedValue NormalizeDecimal(const QString& text)
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty())
        return {true, text};
    const QStringList items = t.split(u'.');
    if (items.size() > 2)
        return Invalid();
    qint64 whole = 0;
    if (!items[0].isEmpty() && !ToNumber(items[0], whole))
        return Invalid();
    QString fraction;
    if (items.size() == 2) {
        fraction = items[1];
        for (QChar c : fraction)
            if (!IsAsciiDigit(c))
                return Invalid();
    }
    fraction = (fraction + QStringLiteral("000")).left(3);
    return {true, QString::number(whole) + u'.' + fraction};
}

NormalizedValue NormalizeByKind(EditKind kind, const QString& text, const QDate& today)
{
    switch (kind) {
    case EditKind::Date:
        return NormalizeDate(text, today);
    case EditKind::Time:
        return NormalizeTime(text);
    case EditKind::Decimal:
        return NormalizeDecimal(text);
    case EditKind::Plain:
    case EditKind::Integer:
        break;
    }
    return {true, text};
}

QString InvalidEntryMessage(EditKind kind)
{
    switch (kind) {
    case EditKind::Date:
        return QStringLiteral("일자 입력이 잘못되었습니다.");
    case EditKind::Time:
        return QStringLiteral("시간 입력이 잘못되었습니다.");
    case EditKind::Decimal:
        return QStringLiteral("입력이 잘못되었습니다.");
    case EditKind::Plain:
    case EditKind::Integer:
        break;
    }
    return QString();
}
