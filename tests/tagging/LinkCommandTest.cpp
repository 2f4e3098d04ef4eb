#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

} // namespace

TEST(LinksCommand, ListsLinksAndFailsOnBrokenOnes)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"),
               EncodeCp949("[VUX]\r\npNAME=p\r\n[TABS]\r\n본문=a\r\n번역=b\r\n[TABSID]\r\n본문=101\r\n번역=102\r\n"));
    WriteBytes(dir.filePath("본문.idx"), Utf16File({"1", "1", "하나", "2", "1", "둘"}));
    WriteBytes(dir.filePath("번역.idx"), Utf16File({"1", "1", "일"}));
    WriteBytes(dir.filePath("work_본문/0001/1.txt"),
               Utf16File({"<h1>하나</h1>", "<A HREF=\"INNERREFER://page=0001&tap=102\">번역으로</A>"}));
    WriteBytes(dir.filePath("work_본문/2.txt"),
               Utf16File({"<A HREF=\"http://h/pcontent/?svcid=QU&proid=9003\">사전</A>"}));
    WriteBytes(dir.filePath("work_번역/0001/1.txt"),
               Utf16File({"<A HREF=\"INNERREFER://page=0007&tap=101\">먼 곳</A>"}));
    WriteBytes(BookInfoFileName(), Utf16File({"3^9003^QU^데모 지명 사전"}));

    CmdResult r = Quilo({"links", dir.path(), "--tab", "본문"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "work_본문/0001/1.txt\tinner:번역:1\t번역으로\n"
                     "work_본문/2.txt\tproduct:QU:9003\t사전\n");

    r = Quilo({"links", dir.path()});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.out.endsWith("work_번역/0001/1.txt\tinner:본문:7\t먼 곳\tpage-beyond-tree\n")) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("잘못된 링크 1개")) << r.err.toStdString();

    QFile::remove(BookInfoFileName());
    r = Quilo({"links", dir.path(), "--tab", "본문"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.out.contains("product:QU:9003\t사전\tunknown-product\n"));
    EXPECT_TRUE(r.err.startsWith("타 제품에 대한 정보가 없습니다.")) << r.err.toStdString();

    EXPECT_EQ(Quilo({"links", dir.path(), "--tab", "없음"}).exit, 2);
    EXPECT_EQ(Quilo({"links"}).exit, 2);
}
