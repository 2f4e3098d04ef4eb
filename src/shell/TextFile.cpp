#include "shell/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

namespace {

// Converts with ICU; stops on the first illegal sequence only to note it, then converts with
// substitution so that nothing after it is lost.
QString IcuDecode(const QByteArray& bytes, const char* charset, bool* valid, bool* known)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(charset, &status);
    if (U_FAILURE(status)) {
        if (known)
            *known = false;
        return QString::fromLatin1(bytes);
    }
    if (known)
        *known = true;
    if (valid) {
        UErrorCode check = U_ZERO_ERROR;
        ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &check);
        std::u16string probe(size_t(bytes.size()) + 1, u'\0');
        const char* src = bytes.constData();
        char16_t* dst = probe.data();
        ucnv_toUnicode(conv, reinterpret_cast<UChar**>(&dst),
                       reinterpret_cast<UChar*>(probe.data() + probe.size()), &src,
                       src + bytes.size(), nullptr, true, &check);
        *valid = U_SUCCESS(check);
        ucnv_reset(conv);
        check = U_ZERO_ERROR;
        ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &check);
    }
    QString out(bytes.size() + 1, Qt::Uninitialized);
    UErrorCode st = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                                    bytes.constData(), int32_t(bytes.size()), &st);
    ucnv_close(conv);
    if (U_FAILURE(st))
        return {};
    out.truncate(n);
    return out;
}

QString Utf16Decode(const char* data, qsizetype size, bool bigEndian, bool* valid)
{
    if (valid)
        *valid = (size % 2) == 0;
    const qsizetype count = size / 2;
    QString out(count, Qt::Uninitialized);
    QChar* dst = out.data();
    if (bigEndian == (QSysInfo::ByteOrder == QSysInfo::BigEndian)) {
        std::memcpy(dst, data, size_t(count) * 2); // the host's own order: nothing to swap
        return out;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t u = bigEndian ? char16_t((p[2 * i] << 8) | p[2 * i + 1])
                                     : char16_t(p[2 * i] | (p[2 * i + 1] << 8));
        dst[i] = QChar(u);
    }
    return out;
}

} // namespace

QString DecodeCp949(const QByteArray& bytes, bool* valid)
{
    return IcuDecode(bytes, "windows-949", valid, nullptr);
}

QByteArray EncodeCp949(const QString& text, bool* lossless)
{
    // Code page 949 keeps ASCII as it is; most texts written in it (logs of escaped records,
    // INI files) are nothing else and need no converter.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        if (lossless)
            *lossless = true;
        return text.toLatin1();
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-949", &status);
    if (U_FAILURE(status)) {
        if (lossless)
            *lossless = false;
        return text.toLatin1();
    }
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    QByteArray out(text.size() * 2 + 16, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), int32_t(out.size()),
                                reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()),
                                &status);
    if (lossless)
        *lossless = U_SUCCESS(status);
    if (U_FAILURE(status)) {
        // Substitute so that the caller still gets bytes; it is told the text was not kept whole.
        ucnv_reset(conv);
        status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                              &status);
        status = U_ZERO_ERROR;
        n = ucnv_fromUChars(conv, out.data(), int32_t(out.size()),
                            reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()),
                            &status);
    }
    ucnv_close(conv);
    out.truncate(U_SUCCESS(status) ? n : 0);
    // ICU drops ignorable characters (U+FEFF, U+200B, ...) without an error: only a text that
    // reads back the same was kept whole.
    if (lossless && *lossless && DecodeCp949(out) != text)
        *lossless = false;
    return out;
}

QString DecodeCharset(const QByteArray& bytes, const QString& charset, bool* known)
{
    const QByteArray name = charset.trimmed().toLatin1();
    if (name.compare("utf-8", Qt::CaseInsensitive) == 0 || name.compare("utf8", Qt::CaseInsensitive) == 0) {
        if (known)
            *known = true;
        QByteArray b = bytes;
        if (b.startsWith("\xEF\xBB\xBF"))
            b.remove(0, 3);
        return QString::fromUtf8(b);
    }
    // Servers of this service name code page 949 in several ways; all mean the same table.
    if (name.compare("euc-kr", Qt::CaseInsensitive) == 0 || name.compare("ks_c_5601-1987", Qt::CaseInsensitive) == 0
        || name.compare("cp949", Qt::CaseInsensitive) == 0 || name.compare("ms949", Qt::CaseInsensitive) == 0)
        return IcuDecode(bytes, "windows-949", nullptr, known);
    return IcuDecode(bytes, name.constData(), nullptr, known);
}

QString DecodeText(const QByteArray& bytes, TextEncoding* detected, bool* valid)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        if (detected)
            *detected = TextEncoding::Utf8;
        const QByteArray body = bytes.mid(3);
        // Our mark is already cut off: a second one is the text's own first character.
        QStringDecoder dec(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        QString s = dec.decode(body);
        if (valid)
            *valid = !dec.hasError();
        return s;
    }
    if (bytes.startsWith("\xFF\xFE")) {
        if (detected)
            *detected = TextEncoding::Utf16LE;
        return Utf16Decode(bytes.constData() + 2, bytes.size() - 2, false, valid);
    }
    if (bytes.startsWith("\xFE\xFF")) {
        if (detected)
            *detected = TextEncoding::Utf16BE;
        return Utf16Decode(bytes.constData() + 2, bytes.size() - 2, true, valid);
    }
    if (detected)
        *detected = TextEncoding::Cp949;
    return DecodeCp949(bytes, valid);
}

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    const QChar* d = text.constData();
    const qsizetype n = text.size();
    // Counted first: a meta file holds millions of lines, and growing the list step by step
    // copies it over and over.
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < n; ++i)
        breaks += d[i] == QChar('\n') || (d[i] == QChar('\r') && (i + 1 == n || d[i + 1] != QChar('\n')));
    lines.reserve(breaks + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == '\r' || c == '\n') {
            lines << QString(d + start, i - start);
            if (c == '\r' && i + 1 < n && d[i + 1] == QChar('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << QString(d + start, n - start);
    return lines;
}

bool ReadFileBytes(const QString& path, QByteArray& bytes, QString* error)
{
    bytes.clear();
    // Three system calls and a read: a keyword run opens tens of thousands of small articles,
    // and every extra stat of the path costs as much as reading one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    int fault = fd < 0 ? errno : ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (fault == 0) {
        // The size is a hint: a file that grows while it is read is read to its end.
        bytes.resize(qsizetype(std::max<off_t>(st.st_size, 0)) + 1);
        qsizetype got = 0;
        for (;;) {
            if (got == bytes.size())
                bytes.resize(got + std::max<qsizetype>(got, 4096));
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fault = errno;
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    if (fd >= 0)
        ::close(fd);
    if (fault == 0)
        return true;
    bytes.clear();
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(fault));
    return false;
}

bool ReadTextFile(const QString& path, QString& text, QString* error, bool* valid,
                  TextEncoding* detected)
{
    QByteArray bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    text = DecodeText(bytes, detected, valid);
    return true;
}

bool ReadTextLines(const QString& path, QStringList& lines, QString* error, bool* valid,
                   TextEncoding* detected)
{
    QByteArray bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    // UTF-16LE, as this program writes its files, is split straight from the bytes read on a
    // host of the same order: a meta file of tens of megabytes needs no decoded copy first.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian && bytes.startsWith("\xFF\xFE")) {
        if (valid)
            *valid = bytes.size() % 2 == 0;
        if (detected)
            *detected = TextEncoding::Utf16LE;
        lines = SplitLines(QStringView(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2));
        return true;
    }
    lines = SplitLines(DecodeText(bytes, detected, valid));
    return true;
}

// The file and the decoder of its encoding, which keeps a character cut at a chunk's end for the
// next chunk.
struct TTextLineReader::Decoder {
    QFile file;
    TextEncoding encoding = TextEncoding::Cp949;
    QByteArray carry;                   // UTF-16: an odd byte left over
    std::optional<QStringDecoder> utf8; // UTF-8 after its mark
    UConverter* icu = nullptr;          // code page 949

    ~Decoder()
    {
        if (icu)
            ucnv_close(icu);
    }

    QString Decode(const QByteArray& chunk, bool last)
    {
        switch (encoding) {
        case TextEncoding::Utf8:
            return utf8->decode(chunk);
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE: {
            const QByteArray bytes = carry + chunk;
            const qsizetype even = last ? bytes.size() : bytes.size() & ~qsizetype(1);
            carry = bytes.mid(even);
            return Utf16Decode(bytes.constData(), even, encoding == TextEncoding::Utf16BE, nullptr);
        }
        case TextEncoding::Cp949: {
            QString out(chunk.size() + 2, Qt::Uninitialized);
            const char* src = chunk.constData();
            auto* dst = reinterpret_cast<UChar*>(out.data());
            UErrorCode status = U_ZERO_ERROR;
            ucnv_toUnicode(icu, &dst, dst + out.size(), &src, src + chunk.size(), nullptr, last, &status);
            out.truncate(U_SUCCESS(status) ? dst - reinterpret_cast<UChar*>(out.data()) : 0);
            return out;
        }
        }
        return {};
    }
};

TTextLineReader::TTextLineReader(const QString& path, qsizetype chunkBytes)
    : m_path(path)
    , m_chunk(qMax<qsizetype>(chunkBytes, 4))
{
}

TTextLineReader::~TTextLineReader()
{
    delete m_decoder;
}

bool TTextLineReader::Open(QString* error)
{
    delete m_decoder;
    m_decoder = new Decoder;
    m_text.clear();
    m_pos = 0;
    m_eof = false;
    m_error.clear();
    Decoder& d = *m_decoder;
    d.file.setFileName(m_path);
    if (!d.file.open(QIODevice::ReadOnly)) {
        m_error = d.file.errorString();
        if (error)
            *error = m_error;
        return false;
    }
    const QByteArray mark = d.file.peek(3);
    if (mark.startsWith("\xEF\xBB\xBF")) {
        d.encoding = TextEncoding::Utf8;
        d.file.skip(3);
        d.utf8.emplace(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    } else if (mark.startsWith("\xFF\xFE") || mark.startsWith("\xFE\xFF")) {
        d.encoding = mark.startsWith("\xFF\xFE") ? TextEncoding::Utf16LE : TextEncoding::Utf16BE;
        d.file.skip(2);
    } else {
        UErrorCode status = U_ZERO_ERROR;
        d.icu = ucnv_open("windows-949", &status);
        if (U_FAILURE(status)) {
            m_error = QStringLiteral("no code page 949 converter");
            if (error)
                *error = m_error;
            return false;
        }
        ucnv_setToUCallBack(d.icu, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    }
    return true;
}

bool TTextLineReader::Fill()
{
    if (m_eof || !m_decoder)
        return false;
    m_text.remove(0, m_pos);
    m_pos = 0;
    const QByteArray chunk = m_decoder->file.read(m_chunk);
    if (chunk.isEmpty() && m_decoder->file.error() != QFileDevice::NoError) {
        m_error = m_decoder->file.errorString();
        m_eof = true;
        return false;
    }
    m_eof = chunk.size() < m_chunk;
    m_text += m_decoder->Decode(chunk, m_eof);
    return true;
}

bool TTextLineReader::Next(QString& line)
{
    for (;;) {
        const QChar* d = m_text.constData();
        for (qsizetype i = m_pos; i < m_text.size(); ++i) {
            const char16_t c = d[i].unicode();
            if (c != '\r' && c != '\n')
                continue;
            if (c == '\r' && i + 1 == m_text.size() && !m_eof)
                break; // a LF may follow in the next chunk
            line = QString(d + m_pos, i - m_pos);
            m_pos = i + 1 + (c == '\r' && i + 1 < m_text.size() && d[i + 1] == QChar('\n') ? 1 : 0);
            return true;
        }
        if (!m_eof) {
            if (!Fill())
                return false;
            continue;
        }
        if (m_pos < m_text.size() && m_error.isEmpty()) {
            line = m_text.mid(m_pos);
            m_pos = m_text.size();
            return true;
        }
        return false;
    }
}

QByteArray EncodeLines(const QStringList& lines, TextEncoding encoding)
{
    qsizetype total = 0;
    for (const QString& l : lines)
        total += l.size() + 2;
    QByteArray out;
    switch (encoding) {
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool be = encoding == TextEncoding::Utf16BE;
        out.reserve(2 + total * 2);
        out.append(be ? "\xFE\xFF" : "\xFF\xFE", 2);
        auto put = [&](char16_t u) {
            if (be) {
                out.append(char(u >> 8));
                out.append(char(u & 0xFF));
            } else {
                out.append(char(u & 0xFF));
                out.append(char(u >> 8));
            }
        };
        for (const QString& l : lines) {
            if (!be && QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
                out.append(reinterpret_cast<const char*>(l.utf16()), l.size() * 2);
            } else {
                for (QChar c : l)
                    put(c.unicode());
            }
            put(u'\r');
            put(u'\n');
        }
        break;
    }
    case TextEncoding::Utf8:
        out.reserve(3 + total * 3);
        out.append("\xEF\xBB\xBF", 3);
        for (const QString& l : lines) {
            out.append(l.toUtf8());
            out.append("\r\n", 2);
        }
        break;
    case TextEncoding::Cp949: {
        QString all;
        all.reserve(total);
        for (const QString& l : lines) {
            all += l;
            all += QStringLiteral("\r\n");
        }
        out = EncodeCp949(all);
        break;
    }
    }
    return out;
}

namespace {

// Reading the umask means setting it; done once before main, while no other thread can create a
// file under the wrong mask.
const mode_t kProcessUmask = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}();

} // namespace

void GiveReplacementMode(int fd, const QString& target)
{
    struct stat st;
    if (::stat(QFile::encodeName(target).constData(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else
        ::fchmod(fd, 0666 & ~kProcessUmask);
}

// Written beside the target and renamed over it. Every write, the sync and the close are checked:
// on a full disk the buffered QSaveFile reported success and left an empty file under the name.

TAtomicFile::TAtomicFile(const QString& path)
{
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        target = info.symLinkTarget();
    m_name = QFile::encodeName(target);
    m_temp = m_name + ".XXXXXX";
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0) {
        m_errno = errno;
        return;
    }
    GiveReplacementMode(m_fd, target);
}

TAtomicFile::~TAtomicFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temp.constData());
    }
}

bool TAtomicFile::WriteAll(const char* p, qsizetype left)
{
    while (left > 0 && m_errno == 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            m_errno = n < 0 ? errno : ENOSPC;
        else
            p += n, left -= n;
    }
    return m_errno == 0;
}

bool TAtomicFile::Flush()
{
    const bool ok = WriteAll(m_buffer.constData(), m_buffer.size());
    m_buffer.clear();
    return ok;
}

bool TAtomicFile::Write(const char* data, qsizetype size)
{
    if (m_fd < 0 || m_errno != 0)
        return false;
    constexpr qsizetype Chunk = 1 << 20;
    if (m_buffer.size() + size <= Chunk) {
        m_buffer.append(data, size);
        return true;
    }
    return Flush() && WriteAll(data, size);
}

bool TAtomicFile::WriteUtf16Line(QStringView line)
{
    static_assert(QSysInfo::ByteOrder == QSysInfo::LittleEndian, "UTF-16LE is written as it is held");
    return Write(reinterpret_cast<const char*>(line.utf16()), line.size() * 2) && Write("\r\0\n\0", 4);
}

bool TAtomicFile::Commit(QString* error)
{
    auto fail = [&](int err) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(err));
        return false;
    };
    if (m_fd < 0)
        return fail(m_errno);
    if (!Flush() || ::fsync(m_fd) != 0) {
        const int err = m_errno ? m_errno : errno;
        return fail(err); // the destructor removes the temporary file
    }
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0 || ::rename(m_temp.constData(), m_name.constData()) != 0) {
        const int err = errno;
        ::unlink(m_temp.constData());
        return fail(err);
    }
    return true;
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    TAtomicFile file(path);
    file.Write(bytes);
    return file.Commit(error); // also reports a failed write
}

bool WriteTextLines(const QString& path, const QStringList& lines, TextEncoding encoding,
                    QString* error)
{
    return WriteFileAtomic(path, EncodeLines(lines, encoding), error);
}
