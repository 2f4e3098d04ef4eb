#pragma once
// Defining a job: the tab rows taken from a product line, the existing job of a chosen folder,
// the source folders, and the checks before the job file is written. The job definition window
// and `quilo job new` both work through these.

#include "jobs/JobDefine.h"
#include "jobs/ProductList.h"

#include <QString>
#include <array>

class Interaction;

struct TJobTabRow {
    QString name;   // 탭 명칭
    QString folder; // 소스폴더, relative to the job folder
    QString link;   // 탭연결
    QString id;     // 탭ID
};

// What the job definition window shows: the edits and the twenty tab rows.
struct TJobForm {
    QString workFolder;
    QString pNAME;
    QString pID;
    QString pCode;
    QString srcImage = QStringLiteral("N");
    QString insImage = QStringLiteral("N");
    std::array<TJobTabRow, MaxTabs> rows;
};

TJobForm JobFormFromJob(const TJobDefine& job);

// Fills the product fields and the tab rows (names, links, IDs; no source folders) from a
// product line. A line whose tab names cannot name files in the job folder, or that names a
// tab twice, leaves the form unchanged and returns the reason.
QString ApplyProduct(TJobForm& form, const ProductRow& product);

// The reason a product line cannot become a job, or an empty text.
QString ProductTabsProblem(const ProductRow& product);

// The job folder was chosen: reads its job file; a folder holding a job asks whether to use it.
// No keeps only the folder; otherwise the rows take the tabs of that job.
void ApplyJobFolder(TJobForm& form, const QString& folder, Interaction& ui);

// The chosen source folder relative to the job folder; empty with `problem` set when the folder
// is not inside the job folder.
QString RelativeSourceFolder(const QString& workFolder, const QString& chosen, QString* problem = nullptr);

// The save checks in their order; the message for the first that fails, or an empty text.
QString JobFormProblem(const TJobForm& form);

// The job the form describes: named rows in row order, the rest empty.
TJobDefine JobFromForm(const TJobForm& form);

// Checks, writes the job file (remembering the folder) and, only when that worked, makes the
// result the open job. False after telling the operator why.
bool SaveJobForm(const TJobForm& form, TJobDefine& openJob, Interaction& ui);

inline const QString NoWorkFolderMessage = QStringLiteral("작업 폴더가 지정되지 않았습니다.");
inline const QString NoProductMessage = QStringLiteral("제품을 선택하세요.");
inline const QString SameSourceMessage = QStringLiteral("같은 파일을 두 개의 탭에 사용할 수 없습니다.");
inline const QString UseExistingJobQuestion = QStringLiteral("작업하던 폴더입니다. 기존 작업 내용을 사용할까요?");
inline const QString SetWorkFolderFirstMessage = QStringLiteral("작업 폴더를 먼저 설정하십시오.");
