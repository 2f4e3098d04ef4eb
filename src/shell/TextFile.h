#pragma once
// The one reader and the one writer of text files.
// Reading detects a byte-order mark (UTF-8, UTF-16LE, UTF-16BE) and otherwise takes code page 949.
// Writing is atomic: the previous file stays whole until the new one is complete on disk.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TextEncoding { Utf16LE, Utf16BE, Utf8, Cp949 };

// Decodes file bytes. `valid` turns false when the bytes are not valid in the detected encoding
// (the bad bytes become U+FFFD).
QString DecodeText(const QByteArray& bytes, TextEncoding* detected = nullptr, bool* valid = nullptr);

// Lines split at CR LF, LF or CR; a final line break adds no empty line.
QStringList SplitLines(QStringView text);
inline QStringList SplitLines(const QString& text) { return SplitLines(QStringView(text)); }

// The whole file; false with the system's reason when it cannot be opened or read.
bool ReadFileBytes(const QString& path, QByteArray& bytes, QString* error = nullptr);
bool ReadTextFile(const QString& path, QString& text, QString* error = nullptr,
                  bool* valid = nullptr, TextEncoding* detected = nullptr);
bool ReadTextLines(const QString& path, QStringList& lines, QString* error = nullptr,
                   bool* valid = nullptr, TextEncoding* detected = nullptr);

// The lines of a file one at a time, for a file too big to hold: the same encodings and the same
// lines as ReadTextLines, decoded a chunk at a time.
class TTextLineReader {
public:
    explicit TTextLineReader(const QString& path, qsizetype chunkBytes = 256 * 1024);
    ~TTextLineReader();
    TTextLineReader(const TTextLineReader&) = delete;
    TTextLineReader& operator=(const TTextLineReader&) = delete;

    bool Open(QString* error = nullptr);
    // False at the end of the file, or when reading failed (Error() says why).
    bool Next(QString& line);
    QString Error() const { return m_error; }
    QString Path() const { return m_path; }

private:
    bool Fill();

    struct Decoder;
    Decoder* m_decoder = nullptr;
    QString m_path;
    qsizetype m_chunk;
    QString m_text;
    qsizetype m_pos = 0;
    bool m_eof = false;
    QString m_error;
};

// Every line followed by CR LF. Utf16LE and Utf8 carry their byte-order mark; Cp949 has none.
QByteArray EncodeLines(const QStringList& lines, TextEncoding encoding);

bool WriteTextLines(const QString& path, const QStringList& lines,
                    TextEncoding encoding = TextEncoding::Utf16LE, QString* error = nullptr);
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// A file written piece by piece beside its target and renamed over it by Commit, for outputs
// too big to hold: without Commit (or when any write failed) the target stays as it was.
class TAtomicFile {
public:
    explicit TAtomicFile(const QString& path);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Write(const char* data, qsizetype size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // The line in UTF-16LE and CR LF (the byte-order mark is the caller's first write).
    bool WriteUtf16Line(QStringView line);
    // Writes what is buffered, syncs and renames over the target; false with the reason.
    bool Commit(QString* error = nullptr);

private:
    bool Flush();
    bool WriteAll(const char* data, qsizetype size);

    QByteArray m_name;
    QByteArray m_temp;
    QByteArray m_buffer;
    int m_fd = -1;
    int m_errno = 0;
};
// A temporary file (`fd`) about to replace `target` gets its mode: that of the file it replaces,
// else what the umask gives a new file.
void GiveReplacementMode(int fd, const QString& target);

// Code page 949 through ICU. `lossless` turns false when a character has no 949 form.
QString DecodeCp949(const QByteArray& bytes, bool* valid = nullptr);
QByteArray EncodeCp949(const QString& text, bool* lossless = nullptr);

// Any charset ICU knows (HTTP replies name theirs); `known` turns false for an unknown name.
QString DecodeCharset(const QByteArray& bytes, const QString& charset, bool* known = nullptr);
