#include "settings/browse_folder.h"
#include "settings/dialog_rows.h"
#include "settings/row_validation.h"

#include <gtest/gtest.h>

#include <map>

using namespace kestova;

namespace {

// A file system of named files and folders that counts how often it is asked. Spellings of one
// file (another case, a `..` form, a short name) are given as aliases of its name.
class FakeDisk {
public:
    FakeDisk& File(std::wstring path) {
        kinds_[path] = PathKind::File;
        identities_[path] = path;
        return *this;
    }
    FakeDisk& Folder(std::wstring path) {
        kinds_[path] = PathKind::Directory;
        identities_[path] = path;
        return *this;
    }
    FakeDisk& Alias(std::wstring alias, const std::wstring& of) {
        kinds_[alias] = kinds_.at(of);
        identities_[alias] = of;
        return *this;
    }
    PathProbe Probe() {
        return [this](const std::wstring& path) {
            asked.push_back(path);
            auto it = kinds_.find(path);
            return it == kinds_.end() ? PathKind::Missing : it->second;
        };
    }
    RowProbe Rows() {
        return [this](const std::wstring& path) {
            asked.push_back(path);
            auto it = kinds_.find(path);
            if (it == kinds_.end())
                return PathFacts{PathKind::Missing, path};
            return PathFacts{it->second, identities_.at(path)};
        };
    }
    std::vector<std::wstring> asked;

private:
    std::map<std::wstring, PathKind> kinds_;
    std::map<std::wstring, std::wstring> identities_;
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

TEST(RowPathForm, OnlyDriveAndUncPathsAreFull) {
    for (const wchar_t* full : {L"C:\\a.pptx", L"z:\\", L"C:\\Shows\\..\\a.pptx",
                                L"\\\\server\\share\\a.pptx", L"\\\\server\\share"})
        EXPECT_TRUE(IsFullPath(full)) << full;
    for (const wchar_t* partial :
         {L"shows\\a.pptx", L"a.pptx", L"C:a.pptx", L"C:", L"\\Shows\\a.pptx", L"C:/a.pptx",
          L"1:\\a.pptx", L"\\\\server", L"\\\\server\\", L"\\\\\\share\\a.pptx",
          L"\\\\?\\C:\\a.pptx", L"\\\\.\\COM1", L"..\\a.pptx", L""})
        EXPECT_FALSE(IsFullPath(partial)) << partial;
}

TEST(RowCheckRule, EmptyAndBlankRowsAreValidWithoutAskingTheDisk) {
    FakeDisk disk;
    RowCheck check = CheckRows({L"", L"  \t", L""}, disk.Rows());
    EXPECT_TRUE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(disk.asked.empty());
}

TEST(RowCheckRule, APathThatIsNotFullIsMarkedWithTheHintAndNeverAsked) {
    FakeDisk disk;
    disk.File(kA).File(L"shows\\a.pptx").File(L"C:a.pptx");
    RowCheck check =
        CheckRows({L"shows\\a.pptx", kA, L" C:a.pptx", L"\\\\srv\\s\\a.pptx"}, disk.Rows());
    EXPECT_FALSE(check.allValid);
    EXPECT_TRUE(check.anyNotFullPath);
    EXPECT_EQ(check.states, (std::vector<RowState>{RowState::NotFullPath, RowState::Valid,
                                                   RowState::NotFullPath, RowState::NotAFile}));
    EXPECT_EQ(disk.asked, (std::vector<std::wstring>{kA, L"\\\\srv\\s\\a.pptx"}));
    EXPECT_FALSE(CheckRows({kA}, disk.Rows()).anyNotFullPath);
}

TEST(RowCheckRule, OnlyAnExistingFileCountsNotAFolderOrAMissingPath) {
    FakeDisk disk;
    disk.File(kA).Folder(L"C:\\Shows");
    RowCheck check =
        CheckRows({L"  " + kA + L" ", L"C:\\Shows", L"C:\\Shows\\gone.ppt"}, disk.Rows());
    EXPECT_FALSE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{true, false, false}));
    // The disk is asked about the trimmed text.
    EXPECT_EQ(disk.asked.front(), kA);
}

TEST(RowCheckRule, OfTwoRowsNamingOneFileOnlyTheUpperIsMarked) {
    FakeDisk disk;
    disk.File(kA).File(kB);
    RowCheck check = CheckRows({kA, kB, L" " + kA}, disk.Rows());
    EXPECT_FALSE(check.allValid);
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(check.states[0], RowState::Duplicate);

    // Three equal rows: each is marked for the one below it, the lowest stays clear.
    check = CheckRows({kB, kB, kB}, disk.Rows());
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, false, true}));

    // Another case, a `..` form or a short name of the same file: the same file.
    disk.Alias(L"c:\\SHOWS\\A.PPT", kA)
        .Alias(L"C:\\Shows\\old\\..\\a.ppt", kA)
        .Alias(L"C:\\SHOWS~1\\a.ppt", kA);
    for (const wchar_t* other :
         {L"c:\\SHOWS\\A.PPT", L"C:\\Shows\\old\\..\\a.ppt", L"C:\\SHOWS~1\\a.ppt"}) {
        check = CheckRows({kA, L"", kB, other}, disk.Rows());
        EXPECT_FALSE(check.allValid) << other;
        EXPECT_EQ(Marks(check), (std::vector<bool>{false, true, true, true})) << other;
    }
}

TEST(RowCheckRule, AMissingFileIsNotComparedWithTheRowsBelow) {
    FakeDisk disk;
    disk.File(kB).File(kC);
    // Row 0 names no file: marked for that alone. Row 1 repeats row 2: marked. Rows with the
    // same missing path below row 0 are checked on their own.
    RowCheck check = CheckRows({kA, kB, kB, kA, kC}, disk.Rows());
    EXPECT_EQ(Marks(check), (std::vector<bool>{false, false, true, false, true}));
    EXPECT_FALSE(check.allValid);
    // Each distinct path is asked once.
    EXPECT_EQ(disk.asked.size(), 3u);
}

TEST(RowCheckRule, AnAwaitedAnswerMarksNothingButKeepsOKAway) {
    FakeDisk disk;
    disk.File(kA).File(kB);
    const RowProbe known = disk.Rows();
    // Row 1's answer is awaited: neither it nor the row above that may repeat it is marked yet.
    RowCheck check = CheckRows({kA, kA, kB}, [&](size_t row, const std::wstring& text) {
        return row == 1 ? std::nullopt : std::optional<PathFacts>(known(text));
    });
    EXPECT_EQ(check.states,
              (std::vector<RowState>{RowState::Valid, RowState::Pending, RowState::Valid}));
    EXPECT_EQ(Marks(check), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(check.allValid);
}

TEST(RowCheckRule, DetachedMonitorsPathsCountForDuplicatesButAreNeverMarked) {
    FakeDisk disk;
    disk.File(kA).File(kB).Alias(L"K:\\a.ppt", kA);
    const RowProbe probe = disk.Rows();
    // Two rows shown; behind them the stored paths of two monitors not attached now, one of them
    // missing and one not even a full path: neither keeps OK away nor gets a mark.
    RowCheck check = CheckRows({L"K:\\a.ppt", kB, kA, L"C:\\gone.ppt", L"rel.ppt"}, probe, 2);
    EXPECT_EQ(check.states, (std::vector<RowState>{RowState::Duplicate, RowState::Valid}));
    EXPECT_FALSE(check.allValid);
    EXPECT_FALSE(check.anyNotFullPath);
    EXPECT_TRUE(CheckRows({kB, L"", kA}, probe, 2).allValid);

    // A location that does not answer is told apart from a missing file, and never compared.
    check = CheckRows({kC, kC}, [](size_t, const std::wstring& text) {
        return std::optional<PathFacts>(PathFacts{PathKind::Unreachable, text});
    });
    EXPECT_EQ(check.states, (std::vector<RowState>{RowState::Unreachable, RowState::Unreachable}));
    EXPECT_TRUE(check.anyUnreachable);
    EXPECT_FALSE(check.allValid);
}

TEST(StoreRowsMapping, OneEntryPerRowNumberedFromOneAndEntriesBeyondKept) {
    TSession session;
    session.Elements = {{L"old 0", 7}, {L"old 1", 9}, {L"old 2", 1}, {L"beyond", 4}};
    StoreRows(session, {L"  " + kA + L"\t", L"   ", kB}, true, false);
    // The fourth monitor is not attached now: its entry is kept as it was.
    ASSERT_EQ(session.Elements.size(), 4u);
    EXPECT_EQ(session.Elements[3], (TSessionElement{L"beyond", 4}));
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
