#pragma once
// The open job and its job file "vuxinfo.ini"; the names in a job folder are in JobLayout.h.

#include <QString>
#include <array>

constexpr int MaxTabs = 20;

struct TJobDefine {
    QString WorkFolder; // absolute, no trailing delimiter; empty when no job is open
    QString pID;
    QString pNAME;      // a job counts as loaded when this is not empty
    QString pCode;
    QString srcImage = QStringLiteral("N");
    QString insImage = QStringLiteral("N");
    int TabsCount = 0;
    std::array<QString, MaxTabs> TabsName;
    std::array<QString, MaxTabs> TabsFile; // source folder relative to the job folder
    std::array<QString, MaxTabs> TabsLink;
    std::array<QString, MaxTabs> TabsID;
    unsigned MainTabs = 0;

    bool IsLoaded() const { return !pNAME.isEmpty(); }
};

inline const QString NotJobFolderMessage = QStringLiteral("지정하신 폴더는 VUX 작업 폴더가 아닙니다.");

bool IsJobFolder(const QString& folder);

// Paths from a job file may use "\" (written on Windows) or "/".
QString NormalizeJobPath(const QString& path);

void LoadJobFile(TJobDefine& define);
// Writes the job file and remembers the folder; false with a reason when the file cannot be
// written or a tab name cannot be a key.
bool SaveJobFile(const TJobDefine& define, QString* error = nullptr);
void ClearJobTabs(TJobDefine& define);
void SaveLastWorkFolder(const QString& workFolder);
void LoadLastJob(TJobDefine& define);
void SetKeywordUpdated(const TJobDefine& define, const QString& value);
bool IsKeywordUpdated(const TJobDefine& define);

// A tab name becomes part of file names and a key of the job file: one that is empty, holds "=",
// a path separator or a control character, is "." or "..", begins with "[" or ";" (read back as a
// section or a comment) or has blanks around it, could write outside the job folder or vanish
// from the job file. Returns the message for the operator, or an empty text when the name is safe.
QString TabNameProblem(const QString& name);

// Every name checked as above, and no two alike when letter case is ignored (the job file's keys
// are found case-insensitively, so the second would take the first one's folder and ID).
QString TabNamesProblem(const QStringList& names);

// Steps that rewrite source files may only do so inside the job folder: a source folder from a
// job file that leads out of it ("..", an absolute path, a symbolic link) gives the message that
// names it; empty when the folder lies in the job folder (or is the job folder itself).
QString SourceFolderOutsideProblem(const TJobDefine& job, int tab);

// The path with "..", "." and symbolic links resolved as far as the folders exist.
QString ResolvedPath(const QString& path);
