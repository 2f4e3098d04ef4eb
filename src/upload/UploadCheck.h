#pragma once
// The check before an upload: every tab's tree loads, every linked tab was connected, the source
// images were linked, and every keyword tab's meta result file exists and is not older than its
// article index. Nothing can be sent until it passes.

#include "upload/UploadRecords.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Interaction;

inline const QString UploadCheckStartReport = QStringLiteral("파일을 검사합니다...");
inline const QString UploadReadyReport = QStringLiteral("업로드 준비가 되었습니다.");
inline const QString NoSourceImageLinksReport = QStringLiteral("원문 이미지 연결 작업을 하지 않았습니다.");
inline const QString NoSourceImagesReport = QStringLiteral("원문 이미지가 하나도 없습니다. 이미지 전송을 하지 않습니다.");
inline const QString UploadCheckErrorReport = QStringLiteral("오류가 발생했습니다.");

// "탭(" + tab + ") 연결 작업을 하지 않았습니다."
QString NotConnectedReport(const QString& tabName);
// "최종 메타 결과 파일(" + tab + ")이 없습니다."
QString NoMetaFileReport(const QString& tabName);
// The box about an article index changed after the meta result file.
QString MetaOlderThanIndexMessage(const QString& tabName);

struct TUploadCheck {
    bool passed = false;
    QList<QPair<int, int>> linkedTabs; // (tab, the tab it links to), in tab order
    TUploadFileList sourceImages;
    bool imagesAvailable = true;       // false: the image option is switched off and disabled
};

// What the records will carry that the operator most likely did not mean, one line per article
// and kind: coded meta values the code table does not know (sent as "BAD"), and HTML entity
// references that the upload's "&" -> "＆" rule turns into visible text. `options` may be null.
QStringList UploadWarnings(const TJobDefine& job, const TVUX_codes& codes, const QList<TvuxSchOption>* options);
// The message pane's form of a warning.
QString UploadWarningReport(const QString& warning);

// `keywordTabIds`: the tab IDs the keyword definitions list (their tabs need a meta result file).
// Progress on bar UploadBarTabs and label UploadLabelTabs ("탭 : %d / %d"). Every image tag whose
// file the upload will not send stops the check, one line each. With `codes`, the warnings go to
// the message pane too, without stopping it.
TUploadCheck RunUploadCheck(const TJobDefine& job, const QStringList& keywordTabIds, Interaction& ui,
                            const TVUX_codes* codes = nullptr, const QList<TvuxSchOption>* options = nullptr);

// "전체" when every tab is chosen, else how many are.
QString UploadTabsCountText(const QList<bool>& checked);
