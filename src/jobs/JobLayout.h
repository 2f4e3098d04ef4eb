#pragma once
// Every name in a job folder, in one place: each step asks here where its files lie, so the
// writers and readers of a file cannot drift apart. {job} is the job folder, {tab} a tab name.

#include "jobs/JobDefine.h"

#include <QString>

inline const QString JobFileName = QStringLiteral("vuxinfo.ini");
inline const QString KeywordsFileName = QStringLiteral("keywords.txt");

// Tab files: an empty result means the tab name is refused (see TabNameProblem).
QString TabSourceFolder(const TJobDefine& job, int tab);           // {job}/{src}
QString IndexDumpFileName(const TJobDefine& job, int tab);         // {job}/{src}.idxtmp.txt
QString ArticleIndexFileName(const TJobDefine& job, int tab);      // {job}/{tab}.idx
QString ArticleFolderName(const TJobDefine& job, int tab);         // {job}/work_{tab}
QString ArticleBackupFolderName(const TJobDefine& job, int tab);   // {job}/~work_{tab}
QString ConnectFileName(const TJobDefine& job, int baseTab);       // {job}/{tab}_connect.txt
QString ImageLinkFileName(const TJobDefine& job, int tab);         // {job}/{tab}_images.txt
QString PageInfoFileName(const TJobDefine& job, int tab);          // {job}/{tab}_pageinfo.txt
QString CategoryFileName(const QString& jobFolder, const QString& tabName); // {job}/{tab}_category.txt
QString KeywordFileName(const TJobDefine& job, int tab);           // {job}/{tab}.kwd (meta results)
QString KeywordWorkbookName(const TJobDefine& job, int tab);       // 색인_{tab}.xls
QString KeywordWorkbookPath(const TJobDefine& job, int tab);       // {job}/색인_{tab}.xls

// Job-wide files and folders.
QString KeywordDefinitionsFile(const TJobDefine& job);             // {job}/keywords.txt
QString KeywordDefinitionsFile(const QString& jobFolder);
QString SourceImageFolder(const QString& jobFolder);               // {job}/images; empty without a job
QString InsertedImageFolder(const QString& jobFolder);             // {job}/img
QString UploadLogFolder(const QString& jobFolder);                 // {job}/log
QString PreviewPageName(int number);                               // unit{N}.htm
QString PreviewPageFileName(const TJobDefine& job, int number);    // {job}/unit{N}.htm

// Beside the program, not in the job folder.
QString BookInfoFileName();
QString CodeTableFileName();
