// What --watch polls: a snapshot of a skin's files tells which were written, added or removed since.
#include "tools/skinc/SourceSnapshot.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

using Changes = std::vector<std::string>;

TEST(SourceSnapshotTest, WrittenAddedAndRemovedFilesAreChanges) {
    testsupport::TempFolder dir;
    const std::string root = dir.Path() + "/skin";
    testsupport::MakeHostFolders(root + "/wnd");
    testsupport::WriteHostFile(root + "/wnd/A.style.xml", "<d/>");
    testsupport::WriteHostFile(root + "/english.ini", "a=1\n");
    const CSourceSnapshot first = CSourceSnapshot::Take(root);
    EXPECT_EQ(first.FileCount(), 2u);
    EXPECT_EQ(first.ChangesTo(CSourceSnapshot::Take(root)), Changes());

    // The same size, written later: an editor's save that changes one character.
    testsupport::WriteHostFile(root + "/wnd/A.style.xml", "<e/>");
    fs::last_write_time(root + "/wnd/A.style.xml",
                        fs::last_write_time(root + "/wnd/A.style.xml") + std::chrono::seconds(2));
    const CSourceSnapshot second = CSourceSnapshot::Take(root);
    EXPECT_EQ(first.ChangesTo(second), Changes({"wnd/A.style.xml"}));

    // A size change with the time put back is still a change.
    testsupport::WriteHostFile(root + "/english.ini", "a=12\n");
    fs::last_write_time(root + "/english.ini", fs::last_write_time(root + "/wnd/A.style.xml"));
    const CSourceSnapshot third = CSourceSnapshot::Take(root);
    EXPECT_EQ(second.ChangesTo(third), Changes({"english.ini"}));

    std::remove((root + "/english.ini").c_str());
    testsupport::WriteHostFile(root + "/wnd/new.png", "x");
    EXPECT_EQ(third.ChangesTo(CSourceSnapshot::Take(root)), Changes({"english.ini", "wnd/new.png"}));

    // One file (a pack) is watched by itself; a missing path is an empty snapshot.
    const CSourceSnapshot pack = CSourceSnapshot::Take(root + "/wnd/new.png");
    EXPECT_EQ(pack.FileCount(), 1u);
    testsupport::WriteHostFile(root + "/wnd/new.png", "xy");
    EXPECT_EQ(pack.ChangesTo(CSourceSnapshot::Take(root + "/wnd/new.png")), Changes({"new.png"}));
    EXPECT_EQ(CSourceSnapshot::Take(root + "/nothing").FileCount(), 0u);
}

} // namespace
