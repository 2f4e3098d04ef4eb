#pragma once
// Source image links of a tab: for every article node the first and the last scanned page
// image it stands on, kept in "{tab}_images.txt" (two lines per node, "-" for none). The
// linking window, `quilo image-links` and the upload read and write it only through here.

#include <QString>
#include <QStringList>
#include <vector>

struct TJobDefine;

// A cell holds an image file name, "-" (as read from the file) or nothing.
struct TImageLink {
    QString start;
    QString end;
    bool operator==(const TImageLink&) const = default;
};
using TImageLinks = std::vector<TImageLink>;

inline const QString NoImage = QStringLiteral("-");
inline const QString ImageOrderMessage =
    QStringLiteral("시작이미지에는 이전 목차의 끝이미지보다 작은 번호의 파일을 지정할 수 없습니다.\r\n확인하시기 바랍니다");
inline const QString ImageLinksSavedMessage = QStringLiteral("이미지 연결 정보가 저장되었습니다.");
inline const QString ClearLinksQuestion = QStringLiteral("연결 자료가 있다면 모두 무시됩니다. 진행합니까?");

// The "*.jpg" files of the source image folder (files only), in case-insensitive order.
QStringList ListSourceImages(const QString& jobFolder);

// How a link or page file was read.
struct TLinkFileRead {
    bool ok = true;      // false: the file is there but could not be read (`error` says why)
    bool exists = false;
    bool valid = true;   // its bytes were valid in the encoding they were read in
    int lineCount = 0;
    QString error;
};

// One row per node: line 2i is the start of node i, line 2i+1 its end; "-" where the file has
// no such line (or no file at all); lines beyond the rows are left alone.
TLinkFileRead ReadImageLinks(const QString& path, int nodeCount, TImageLinks& rows);

// Two lines per row, an empty cell as "-".
QStringList ImageLinkLines(const TImageLinks& rows);

// Writes `lines` atomically as UTF-16LE with byte-order mark and CR LF. A file whose lines the
// new one would not carry (lines beyond the rows, bytes that were not valid text) is first kept
// as "{path}.NNN.bak", so nothing the operator had is lost.
bool WriteLinkFile(const QString& path, const QStringList& lines, QString* error = nullptr);

// The save check: -1 when every row passes, else the first failing row. A row whose start and
// end are both set fails when its start sorts after its own end, or before the end of the
// nearest earlier article row with both set (ordinal comparison). The root only gets the first test.
int CheckImageLinks(const TImageLinks& rows);

// A name is used by a row whose cells are both non-empty when start <= name <= end, and by a row
// with an empty cell when it is the other cell. "-" is a value, sorting before the digits, so a
// row from "-" to 0006.jpg marks everything up to 0006.jpg. Ordinal comparison.
bool IsImageUsed(const QString& name, const TImageLinks& rows);
QStringList UnusedImages(const QStringList& images, const TImageLinks& rows);

// Putting the current image into the current cell (column 0 start, 1 end) and moving on:
// the next image, and from the start to the end of the row or from the end to the start of
// the next row. On the last image nothing moves.
struct TLinkStep {
    bool changed = false;
    int image = -1;
    int row = -1;
    int column = -1;
};
TLinkStep PutImage(TImageLinks& rows, const QStringList& images, int image, int row, int column);
