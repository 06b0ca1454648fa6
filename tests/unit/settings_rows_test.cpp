#include "settings/browse_folder.h"
#include "settings/dialog_rows.h"
#include "settings/row_validation.h"

#include <gtest/gtest.h>

#include <map>

using namespace kestova;

namespace {

// A file system of named files and folders that counts how often it is asked.
class FakeDisk {
public:
    FakeDisk& File(std::wstring path) {
        kinds_[std::move(path)] = PathKind::File;
        return *this;
    }
    FakeDisk& Folder(std::wstring path) {
        kinds_[std::move(path)] = PathKind::Directory;
        return *this;
    }
    PathProbe Probe() {
        return [this](const std::wstring& path) {
            asked.push_back(path);
            auto it = kinds_.find(path);
            return it == kinds_.end() ? PathKind::Missing : it->second;
        };
    }
    std::vector<std::wstring> asked;

private:
    std::map<std::wstring, PathKind> kinds_;
};

const std::wstring kA = L"C:\\Shows\\a.ppt";
const std::wstring kB = L"C:\\Shows\\b.pptx";
const std::wstring kC = L"C:\\Shows\\c.pps";

std::vector<bool> Marks(const RowCheck& check) {
    return check.rowValid;
}

} // namespace

TEST(RowText, TrimsEveryControlCharacterAndBlankButNothingElse) {
    EXPECT_EQ(TrimRowText(L" \t\r\n\x01" + kA + L"\x1F \x20"), kA);
    EXPECT_EQ(TrimRowText(L"   "), L"");
    EXPECT_EQ(TrimRowText(L""), L"");
    // Inner blanks belong to the path; code 33 and non-breaking spaces are not trimmed.
    EXPECT_EQ(TrimRowText(L"  C:\\My Shows\\a b.ppt "), L"C:\\My Shows\\a b.ppt");
    EXPECT_EQ(TrimRowText(L"!x!"), L"!x!");
    EXPECT_EQ(TrimRowText(L"\u00A0x\u00A0"), L"\u00A0x\u00A0");
}

TEST(RowCheckRule, EmptyAndBlankRowsAreValidWithoutAskingTheDisk) {
    FakeDisk disk;
    RowCheck check = CheckRows({L"", L"  \t", L""}, disk.Probe());
    EXPECT_TRUE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(disk.asked.empty());
}

TEST(RowCheckRule, OnlyAnExistingFileCountsNotAFolderOrAMissingPath) {
    FakeDisk disk;
    disk.File(kA).Folder(L"C:\\Shows");
    RowCheck check =
        CheckRows({L"  " + kA + L" ", L"C:\\Shows", L"C:\\Shows\\gone.ppt"}, disk.Probe());
    EXPECT_FALSE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{true, false, false}));
    // The disk is asked about the trimmed text.
    EXPECT_EQ(disk.asked.front(), kA);
}

TEST(RowCheckRule, OfTwoEqualRowsOnlyTheUpperIsMarked) {
    FakeDisk disk;
    disk.File(kA).File(kB);
    RowCheck check = CheckRows({kA, kB, L" " + kA}, disk.Probe());
    EXPECT_FALSE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, true, true}));

    // Three equal rows: each is marked for the one below it, the lowest stays clear.
    check = CheckRows({kB, kB, kB}, disk.Probe());
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, false, true}));

    // Byte for byte: paths that differ only in case are different rows.
    std::wstring upper = L"C:\\SHOWS\\A.PPT";
    disk.File(upper);
    check = CheckRows({kA, upper, L"", kB}, disk.Probe());
    EXPECT_TRUE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>(4, true)));
}

TEST(RowCheckRule, AMissingFileIsNotComparedWithTheRowsBelow) {
    FakeDisk disk;
    disk.File(kB).File(kC);
    // Row 0 names no file: marked for that alone. Row 1 repeats row 2: marked. Rows with the
    // same missing path below row 0 are checked on their own.
    RowCheck check = CheckRows({kA, kB, kB, kA, kC}, disk.Probe());
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, false, true, false, true}));
    EXPECT_FALSE(check.allValid);
}

TEST(StoreRowsMapping, OneEntryPerRowNumberedFromOneWithTrimmedPaths) {
    TSession session;
    session.Elements = {{L"old 0", 7}, {L"old 1", 9}, {L"old 2", 1}, {L"beyond", 4}};
    StoreRows(session, {L"  " + kA + L"\t", L"   ", kB}, true, false);
    ASSERT_EQ(session.Elements.size(), 3u);
    EXPECT_EQ(session.Elements[0].PresName, kA);
    EXPECT_EQ(session.Elements[1].PresName, L"");
    EXPECT_EQ(session.Elements[2].PresName, kB);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(session.Elements[static_cast<size_t>(k)].MonitorNum, k + 1);
    EXPECT_TRUE(session.EnableKeyboard);
    EXPECT_FALSE(session.EnableMouse);

    // A shorter stored list grows to the number of rows.
    session.Elements = {{kA, 1}};
    StoreRows(session, {L"", L""}, false, true);
    ASSERT_EQ(session.Elements.size(), 2u);
    EXPECT_EQ(session.Elements[0].PresName, L"");
    EXPECT_EQ(session.Elements[1].MonitorNum, 2);
    EXPECT_FALSE(session.EnableKeyboard);
    EXPECT_TRUE(session.EnableMouse);
}

TEST(RowCaptions, MonitorSentenceAndRowLabels) {
    EXPECT_EQ(MonitorCountSentence(1), L"This system has 1 monitor.");
    EXPECT_EQ(MonitorCountSentence(2), L"This system has 2 monitors.");
    EXPECT_EQ(MonitorCountSentence(12), L"This system has 12 monitors.");
    EXPECT_EQ(MonitorCountSentence(0), L"This system has 0 monitors.");
    EXPECT_EQ(MonitorRowCaption(0), L"Monitor 1 shows:");
    EXPECT_EQ(MonitorRowCaption(9), L"Monitor 10 shows:");
}

TEST(BrowseFolder, FolderEndsAtTheLastBackslashOrColon) {
    EXPECT_EQ(FolderOfPath(L"C:\\Shows\\2024\\a.ppt"), L"C:\\Shows\\2024\\");
    EXPECT_EQ(FolderOfPath(L"\\\\server\\share\\a.ppt"), L"\\\\server\\share\\");
    EXPECT_EQ(FolderOfPath(L"D:a.ppt"), L"D:");
    EXPECT_EQ(FolderOfPath(L"a.ppt"), L"");
}

TEST(BrowseFolder, RememberedFolderOnlyWhileItIsAnExistingDirectory) {
    FakeDisk disk;
    disk.Folder(L"C:\\Shows\\").File(L"C:\\file.ppt");
    int desktopAsked = 0;
    auto desktop = [&] {
        ++desktopAsked;
        return std::wstring(L"C:\\Users\\me\\Desktop");
    };
    EXPECT_EQ(InitialBrowseFolder(L"C:\\Shows\\", disk.Probe(), desktop), L"C:\\Shows\\");
    EXPECT_EQ(desktopAsked, 0);
    EXPECT_EQ(InitialBrowseFolder(L"", disk.Probe(), desktop), L"C:\\Users\\me\\Desktop");
    EXPECT_EQ(InitialBrowseFolder(L"C:\\Gone\\", disk.Probe(), desktop), L"C:\\Users\\me\\Desktop");
    EXPECT_EQ(InitialBrowseFolder(L"C:\\file.ppt", disk.Probe(), desktop),
              L"C:\\Users\\me\\Desktop");
    EXPECT_EQ(desktopAsked, 3);
}
