#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "tools/ui/frmFileMerge.h"
#include "tools/ui/frmUsedTags.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

namespace {

QStringList GridRows(QTableWidget* grid)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r)
        rows << grid->item(r, 0)->text() + '|' + grid->item(r, 1)->text();
    return rows;
}

TEST(UsedTagsWindow, CountsTickedTabsAndCopiesTheResult)
{
    DemoJob job({"본문", "번역", "부록"});
    for (int k = 0; k < 3; ++k)
        myLIB.Jobs.TabsFile[size_t(k)] = QString("src%1").arg(k + 1);
    WriteBytes(job.dir.path() + "/work_본문/0001/1.txt", Utf16File({"<p>하나<b>굵게</b>", "<P>둘"}));
    WriteBytes(job.dir.path() + "/work_본문/0002/2_1.txt", EncodeCp949("<br>\r\n"));
    WriteBytes(job.dir.path() + "/work_번역/0001/1.txt", Utf16File({"<p>", "<i>"}));
    WriteBytes(job.dir.path() + "/work_부록/0001/1.txt", Utf16File({"<table>"}));

    BoxAnswerer boxes;
    TfrmUsedTags w;
    w.show();
    auto* sGrid = Find<QTableWidget>(&w, "sGrid");
    auto* gridResult = Find<QTableWidget>(&w, "gridResult");
    auto* btnOK = Find<QPushButton>(&w, "btnOK");
    ASSERT_TRUE(WaitFor([&] { return sGrid->rowCount() == 3; }));
    EXPECT_EQ(sGrid->item(1, 1)->text(), "src2");
    EXPECT_EQ(sGrid->item(2, 2)->checkState(), Qt::Checked);

    // The operator unticks the third tab with the space bar.
    sGrid->setFocus();
    sGrid->setCurrentCell(2, 2);
    QTest::keyClick(sGrid, Qt::Key_Space);
    ASSERT_EQ(sGrid->item(2, 2)->checkState(), Qt::Unchecked);

    // The clock stops with the work, before the closing box.
    bool clockRanBehindTheBox = false;
    boxes.onBox = [&](const QString&) { clockRanBehindTheBox = Find<QTimer>(&w, "ElapseTimer")->isActive(); };
    QTest::mouseClick(btnOK, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && btnOK->text() == "재실행" && btnOK->isVisible(); }));
    EXPECT_EQ(boxes.texts, QStringList({"작업을 완료했습니다."}));
    EXPECT_FALSE(clockRanBehindTheBox);
    boxes.onBox = {};
    EXPECT_EQ(sGrid->item(0, 3)->text(), "완료");
    EXPECT_EQ(sGrid->item(1, 3)->text(), "완료");
    EXPECT_EQ(sGrid->item(2, 3)->text(), "미실행");
    EXPECT_EQ(GridRows(gridResult), QStringList({"본문|", "B|1", "BR|1", "P|2", "번역|", "B|1", "BR|1", "I|1", "P|3"}));
    EXPECT_TRUE(Find<QPlainTextEdit>(&w, "eMsg")->toPlainText().startsWith("작업을 중단하려면 ESC를 누르세요.\n0001/1.txt\n"));

    auto* copy = Find<QPushButton>(&w, "ButtonClipboard");
    ASSERT_TRUE(copy->isVisible());
    QTest::mouseClick(copy, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 2; }));
    EXPECT_EQ(boxes.texts[1], "다른 프로그램에서 사용하기 위해 결과를 클립보드로 복사했습니다.\n편집기나 EXCEL 등에서 붙여넣기 하십시오.");
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "TAG\tcount\n본문\t\nB\t1\nBR\t1\nP\t2\n번역\t\nB\t1\nBR\t1\nI\t1\nP\t3\n");

    // "재실행" asks first and then closes the window with OK: after running again on Yes, at
    // once on No, leaving the result as it is.
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        w.setResult(QDialog::Rejected);
        w.show();
        const qsizetype before = boxes.texts.size();
        boxes.answers = {yes};
        QTest::mouseClick(btnOK, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !w.isVisible() && !w.isRunning(); }));
        EXPECT_EQ(boxes.texts.mid(before),
                  yes ? QStringList({"다시 실행합니까?", "작업을 완료했습니다."}) : QStringList({"다시 실행합니까?"}));
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(gridResult->rowCount(), 9);
    }
}

TEST(UsedTagsWindow, EscStopsTheRun)
{
    DemoJob job({"본문", "번역"});
    // The binary file's message holds the worker, so Esc lands before the next file is read.
    WriteBytes(job.dir.path() + "/work_본문/0001/1.txt", QByteArray("\0\0\0", 3));
    WriteBytes(job.dir.path() + "/work_본문/0001/2.txt", Utf16File({"<p>"}));
    WriteBytes(job.dir.path() + "/work_번역/0001/1.txt", Utf16File({"<p>"}));
    BoxAnswerer boxes;
    TfrmUsedTags w;
    w.show();
    auto* sGrid = Find<QTableWidget>(&w, "sGrid");
    auto* btnOK = Find<QPushButton>(&w, "btnOK");
    ASSERT_TRUE(WaitFor([&] { return sGrid->rowCount() == 2; }));
    boxes.onBox = [&](const QString& text) {
        if (text.endsWith("텍스트 파일이 아닙니다."))
            QTest::keyClick(&w, Qt::Key_Escape);
    };
    QTest::mouseClick(btnOK, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && btnOK->isVisible(); }));
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_EQ(boxes.texts[1], "취소합니까?");
    EXPECT_EQ(boxes.texts[2], "작업을 중단했습니다.");
    EXPECT_EQ(sGrid->item(0, 3)->text(), "중단");
    EXPECT_EQ(sGrid->item(1, 3)->text(), "대기");
    EXPECT_EQ(btnOK->text(), "시작");
    EXPECT_EQ(Find<QTableWidget>(&w, "gridResult")->rowCount(), 0);
    EXPECT_TRUE(w.isVisible()); // Esc during the run stops the run, not the window
}

TEST(UsedTagsWindow, WithoutAJobTheGridStaysEmpty)
{
    myLIB.Jobs = TJobDefine();
    BoxAnswerer boxes;
    TfrmUsedTags w;
    w.show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.texts.isEmpty(); }));
    EXPECT_EQ(boxes.texts, QStringList({"작업이 정의되지 않았습니다."}));
    EXPECT_EQ(Find<QTableWidget>(&w, "sGrid")->rowCount(), 0);
    QTest::mouseClick(Find<QPushButton>(&w, "btnOK"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return boxes.texts.size() == 2; }));
    EXPECT_EQ(boxes.texts[1], "통계 추출 탭이 하나도 선택되지 않았습니다.");
}

TEST(FileMergeWindow, MergesTheChosenFolderNextToIt)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/1장";
    WriteBytes(src + "/1.txt", EncodeCp949("가나다"));
    WriteBytes(src + "/10.txt", Utf16File({"열"}));
    WriteBytes(src + "/2.text", "two\n");
    WriteBytes(src + "/skip.doc", "x");
    myLIB.Jobs = TJobDefine();

    BoxAnswerer boxes;
    TfrmFileMerge w;
    w.show();
    auto* tree = Find<QTreeView>(&w, "DirectoryListBox1");
    auto* folderName = Find<QLineEdit>(&w, "FolderName");
    ASSERT_TRUE(WaitFor([&] { return !folderName->text().isEmpty(); }));
    EXPECT_EQ(folderName->text(), QDir::homePath());

    // Choosing the folder in the tree updates the fields.
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_NE(model, nullptr);
    tree->setCurrentIndex(model->index(src));
    EXPECT_EQ(folderName->text(), src);
    EXPECT_EQ(Find<QLineEdit>(&w, "eSavePath")->text(), dir.path());
    EXPECT_EQ(Find<QLineEdit>(&w, "eSaveFilename")->text(), "1장.txt");
    EXPECT_EQ(Find<QLabel>(&w, "LabelFileCount")->text(), "3개");
    auto* list = Find<QListWidget>(&w, "FileListBox1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "10.txt");

    auto* start = Find<QPushButton>(&w, "btnSelectDirOK");
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && start->text() == "다시 시작" && start->isVisible(); }));
    const QString out = dir.path() + "/1장.txt";
    EXPECT_EQ(boxes.texts, QStringList({"원본 폴더 :\n\n" + src + "\n저장 파일 :" + out + "\n작업을 시작합니까?"}));
    EXPECT_EQ(ReadBytes(out), QByteArray("\xEF\xBB\xBF") + QString("가나다\r\n\r\n열\r\n\r\ntwo\r\n\r\n").toUtf8());
    EXPECT_FALSE(tree->isVisible());
    EXPECT_EQ(Find<QPlainTextEdit>(&w, "eMsg")->toPlainText(),
              "1.txt\n10.txt\n2.text\n3개의 파일을 합쳤습니다.\n결과 파일 = " + out + "\n\n");
    EXPECT_EQ(ReadFormSetting("frmFileMerge", "SaveTo"), "1장.txt");

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), "시작");
    EXPECT_TRUE(tree->isVisible());
    EXPECT_FALSE(Find<QLineEdit>(&w, "eSaveFilename")->isReadOnly());

    // Merging again moves the first result aside.
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !w.isRunning() && start->text() == "다시 시작" && start->isVisible(); }));
    EXPECT_TRUE(QFileInfo::exists(out + ".001.bak"));
    EXPECT_TRUE(Find<QPlainTextEdit>(&w, "eMsg")->toPlainText().startsWith("-원본을 다른 이름으로 저장했습니다.\n" + out + ".001.bak\n"));
}

} // namespace
