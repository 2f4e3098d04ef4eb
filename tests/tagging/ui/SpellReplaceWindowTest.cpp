#include "articles/ui/ArticleTreeWidget.h"
#include "common/DemoJob.h"
#include "common/TestSupport.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "tagging/SpellCheck.h"
#include "tagging/ui/ReplaceDialog.h"
#include "tagging/ui/SpellHighlighter.h"
#include "tagging/ui/frmTag.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// A word no dictionary holds, and one every Korean dictionary does.
const QString Odd = QStringLiteral("뷁뚫햏");
const QString Odd2 = QStringLiteral("꿿쀍뛇");
const QString Typo = QStringLiteral("학꾜");

// One tab, two articles; the odd word stands in the text, in a tag's attribute and in a URL.
struct SpellJob : DemoJob {
    QString work;

    SpellJob()
        : DemoJob({"본문"})
    {
        TJobDefine& job = myLIB.Jobs;
        job.insImage = "N";
        job.TabsFile[0] = "src";
        work = dir.path() + "/work_본문/";
        WriteIndex("본문", {"1", "1", "첫째 기사", "2", "1", "둘째 기사"});
        WriteBytes(work + "0001/1.txt", Utf16File({"<h1>첫째 기사</h1>", "<p class=\"" + Odd + "\">학교 " + Odd + "</p>",
                                                   "http://a.kr/" + Odd2 + " 사람 " + Typo}));
        WriteBytes(work + "0002/2.txt", Utf16File({"<h1>둘째 기사</h1>", "<p>학교 사람 학교</p>"}));
        QFile::remove(UserWordListPath());
    }
    ~SpellJob() { QFile::remove(UserWordListPath()); }
};

struct Window {
    RecordingInteraction ui;
    TfrmTag w;
    Window()
    {
        w.setInteraction(&ui);
        w.resize(1100, 700);
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.isInit && w.btnEdit->isEnabled(); }, 20000));
    }
    ~Window() { w.setInteraction(nullptr); }
    TSpellHighlighter* spell() const { return w.SpellCheck->highlighter(); }
    // Waits until every word has its answer and the lines are drawn with them.
    void settle()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return spell()->Pending() == 0; }, 20000));
        QTest::qWait(50);
    }
    // The underlined stretches of line `n` as "start+length".
    QStringList underlined(int n) const
    {
        QStringList out;
        for (const QTextLayout::FormatRange& r : w.eTextSource->document()->findBlockByNumber(n).layout()->formats())
            if (r.format.underlineStyle() == QTextCharFormat::WaveUnderline)
                out << QStringLiteral("%1+%2").arg(r.start).arg(r.length);
        return out;
    }
    // Opens the context menu over `column` of line `n` and runs `pick` on it while it is shown.
    void menuAt(int n, int column, const std::function<void(QMenu*)>& pick)
    {
        QTextCursor c(w.eTextSource->document()->findBlockByNumber(n));
        c.setPosition(c.position() + column);
        const QPoint pos = w.eTextSource->cursorRect(c).center();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            seen = true;
            pick(menu);
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, w.eTextSource->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(w.eTextSource->viewport(), &event);
        EXPECT_TRUE(seen);
    }
};

QAction* Named(QMenu* menu, const char* name)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

} // namespace

TEST(SpellWindow, UnknownWordsOfTheTextAreUnderlinedNeverTagsOrUrls)
{
    ASSERT_FALSE(FindKoreanDictionary().isEmpty()) << "hunspell-ko is part of the build's packages";
    SpellJob job;
    Window t;
    t.settle();
    ASSERT_TRUE(t.w.btnSpellCheck->isEnabled());
    ASSERT_TRUE(t.w.btnSpellCheck->isChecked());
    const QStringList line1 = t.underlined(1);
    // The odd word in the text, not in the attribute or the URL.
    EXPECT_EQ(t.underlined(1), QStringList{"18+3"});
    EXPECT_EQ(t.underlined(2), QStringList{"19+2"});
    EXPECT_TRUE(t.underlined(0).isEmpty());
    EXPECT_FALSE(t.w.btnSave->isEnabled()) << "underlining is no edit";

    // Typed words are checked as they come.
    t.w.btnEdit->click();
    t.w.eTextSource->moveCursor(QTextCursor::End);
    QTest::sendKeyEvent(QTest::Click, t.w.eTextSource, Qt::Key_unknown, " " + Odd, Qt::NoModifier);
    t.settle();
    EXPECT_EQ(t.underlined(2).size(), 2);
}

TEST(SpellWindow, MenuSuggestsAddsToTheWordListAndIgnoresInThisArticle)
{
    SpellJob job;
    Window t;
    t.settle();
    const QString list = UserWordListPath();
    QFile::remove(list);

    // Over a known word the menu is the editor's own.
    t.menuAt(1, 16, [](QMenu* menu) { EXPECT_EQ(Named(menu, "actAddWord"), nullptr); });

    t.menuAt(1, 19, [](QMenu* menu) {
        EXPECT_NE(Named(menu, "actIgnoreWord"), nullptr);
        QAction* add = Named(menu, "actAddWord");
        ASSERT_NE(add, nullptr);
        EXPECT_EQ(add->text(), "사전에 추가");
        add->trigger();
    });
    EXPECT_EQ(ReadBytes(list), (Odd + "\n").toUtf8());
    EXPECT_TRUE(t.underlined(1).isEmpty());

    t.menuAt(2, 19, [](QMenu* menu) {
        QAction* ignore = Named(menu, "actIgnoreWord");
        ASSERT_NE(ignore, nullptr);
        EXPECT_EQ(ignore->text(), "이 기사에서 무시");
        ignore->trigger();
    });
    EXPECT_TRUE(t.underlined(2).isEmpty());
    EXPECT_EQ(ReadBytes(list), (Odd + "\n").toUtf8()) << "ignoring writes nothing";

    // A suggestion takes the word's place and makes the article an edit.
    t.w.SourceTree->setCurrentItem(t.w.SourceTree->itemAt(2));
    QTest::qWait(1);
    t.w.SourceTree->setCurrentItem(t.w.SourceTree->itemAt(1));
    QTest::qWait(1);
    t.settle();
    EXPECT_EQ(t.underlined(2).size(), 1) << "ignored only in the article it was ignored in";
    QString suggestion;
    t.menuAt(2, 20, [&](QMenu* menu) {
        QAction* first = Named(menu, "actSuggestion");
        ASSERT_NE(first, nullptr);
        suggestion = first->text();
        first->trigger();
    });
    EXPECT_EQ(t.w.eTextSource->document()->findBlockByNumber(2).text(), "http://a.kr/" + Odd2 + " 사람 " + suggestion);
    EXPECT_TRUE(t.w.Editing());
    EXPECT_TRUE(t.w.btnSave->isEnabled());
}

TEST(SpellWindow, ToggleIsKeptInTheSettings)
{
    SpellJob job;
    {
        Window t;
        t.settle();
        ASSERT_FALSE(t.underlined(1).isEmpty());
        t.w.btnSpellCheck->click();
        EXPECT_FALSE(t.w.btnSpellCheck->isChecked());
        EXPECT_TRUE(t.underlined(1).isEmpty());
        EXPECT_EQ(ReadFormSetting("frmTag", "SpellCheck"), "0");
    }
    {
        Window t;
        t.settle();
        EXPECT_FALSE(t.w.btnSpellCheck->isChecked());
        EXPECT_TRUE(t.underlined(1).isEmpty());
        t.w.btnSpellCheck->click();
        t.settle();
        EXPECT_FALSE(t.underlined(1).isEmpty());
    }
    EXPECT_EQ(ReadFormSetting("frmTag", "SpellCheck"), "1");
}

TEST(SpellWindow, WithoutADictionaryTheToggleSaysWhatToInstall)
{
    QPlainTextEdit editor;
    TSpellSupport spell(&editor, QString(), [] { return true; }, [](const QString&) {});
    editor.setPlainText("<p>" + Odd + "</p>");
    QTest::qWait(20);
    EXPECT_FALSE(spell.toggleAction()->isEnabled());
    EXPECT_TRUE(spell.toggleAction()->toolTip().contains("hunspell-ko"));
    EXPECT_TRUE(editor.document()->firstBlock().layout()->formats().isEmpty());
    EXPECT_EQ(spell.highlighter()->Pending(), 0);
}

namespace {

// Opens "바꾸기" with Ctrl+H and runs `use` on the dialog while it is shown.
void WithReplaceDialog(Window& t, const std::function<void(TReplaceDialog*)>& use)
{
    // After a dialog the window is active again.
    t.w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&t.w));
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = t.w.findChild<TReplaceDialog*>("ReplaceDialog");
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(d->isVisible());
        seen = true;
        use(d);
        d->close();
    });
    t.w.eTextSource->setFocus();
    QTest::keyClick(t.w.eTextSource, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(seen);
}

void List(TReplaceDialog* d, const QString& find, const QString& by)
{
    d->eFindText->setText(find);
    d->eReplaceText->setText(by);
    d->btnList->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isRunning(); }, 20000));
}

} // namespace

TEST(ReplaceWindow, ListsTicksReplacesAndShowsTheNewText)
{
    SpellJob job;
    Window t;
    QStringList shown;
    WithReplaceDialog(t, [&](TReplaceDialog* d) {
        EXPECT_TRUE(d->rbArticle->isChecked());
        d->rbTab->setChecked(true);
        d->chkTextOnly->setChecked(true);
        List(d, "학교", "學校");
        ASSERT_EQ(d->gridMatches->topLevelItemCount(), 3);
        EXPECT_EQ(d->gridMatches->topLevelItem(0)->text(0), "첫째 기사");
        EXPECT_EQ(d->gridMatches->topLevelItem(0)->text(1), "2");
        EXPECT_TRUE(d->gridMatches->topLevelItem(0)->text(2).contains("학교"));
        EXPECT_TRUE(d->gridMatches->topLevelItem(2)->text(3).contains("學校"));
        // The second match of the second article is left as it is.
        d->gridMatches->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
        d->btnReplace->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isRunning(); }, 20000));
        shown << d->LabelResult->text();
        EXPECT_EQ(d->gridMatches->topLevelItemCount(), 0);
    });
    EXPECT_EQ(shown, QStringList{"기사 2개에서 2곳을 바꾸었습니다."});
    EXPECT_EQ(t.ui.infos, QStringList{"기사 2개에서 2곳을 바꾸었습니다."});
    EXPECT_EQ(ReadBytes(job.work + "0002/2.txt"), Utf16File({"<h1>둘째 기사</h1>", "<p>學校 사람 학교</p>"}));
    EXPECT_TRUE(ReadBytes(job.work + "0001/1.txt").startsWith("\xFF\xFE"));
    for (const QString& dir : {job.work + "0001", job.work + "0002"})
        EXPECT_EQ(QDir(dir).entryList({"*.bak"}, QDir::Files), QStringList{dir.right(1) + ".txt.001.bak"});
    EXPECT_TRUE(t.w.eTextSource->toPlainText().contains("學校 " + Odd)) << "the open article shows the new text";
}

TEST(ReplaceWindow, UnsavedEditsAreSavedFirstOrNothingIsRead)
{
    SpellJob job;
    Window t;
    t.w.btnEdit->click();
    t.w.eTextSource->moveCursor(QTextCursor::End);
    QTest::sendKeyEvent(QTest::Click, t.w.eTextSource, Qt::Key_unknown, QStringLiteral(" 학교"), Qt::NoModifier);
    ASSERT_TRUE(t.w.btnSave->isEnabled());
    const QByteArray before = ReadBytes(job.work + "0001/1.txt");

    // No: nothing is listed, the edits stay in the editor, the file is untouched.
    t.ui.answers = {false};
    WithReplaceDialog(t, [&](TReplaceDialog* d) {
        List(d, "학교", "學校");
        EXPECT_EQ(d->gridMatches->topLevelItemCount(), 0);
        EXPECT_FALSE(d->btnReplace->isEnabled());
    });
    ASSERT_EQ(t.ui.questions.size(), 1);
    EXPECT_TRUE(t.w.btnSave->isEnabled());
    EXPECT_EQ(ReadBytes(job.work + "0001/1.txt"), before);

    // Yes: the edits are saved, then listed and replaced with them.
    t.ui.answers = {true};
    WithReplaceDialog(t, [&](TReplaceDialog* d) {
        List(d, "학교", "學校");
        EXPECT_EQ(d->gridMatches->topLevelItemCount(), 2);
        d->btnReplace->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isRunning(); }, 20000));
    });
    EXPECT_FALSE(t.w.btnSave->isEnabled());
    EXPECT_TRUE(t.w.eTextSource->toPlainText().endsWith(Typo + " 學校"));
    // One backup for the save of the edits, one for the replacement.
    EXPECT_EQ(QDir(job.work + "0001").entryList({"*.bak"}, QDir::Files),
              (QStringList{"1.txt.001.bak", "1.txt.002.bak"}));
}
