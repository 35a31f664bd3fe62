#include <algorithm>

#include "StoreTestSupport.h"

namespace storetest {
namespace {

const bool kEnabled = true;
const bool kRegistered = false;
const char kRegCount[] = "OptionDic\\RegOptionDicNum";
const char kEnabledCount[] = "OptionDic\\OptionDicNum";

using DicListTest = StoreTest;

TEST_F(DicListTest, TheEnabledListIsWrittenAsOptionDICAndFoundAsOptionDic) {
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\A.dic", DICLIST_ENABLED));
  EXPECT_EQ((Entries{"Set OptionDic\\OptionDIC1 C:\\Dic\\A.dic", "Set OptionDic\\OptionDicNum 1"}), Changes());

  lib().ClearCalls();
  EXPECT_EQ(2, store().FindInList("c:\\dic\\a.DIC", DICLIST_ENABLED));
  auto reads = lib().CallsOf(testhost::kGetRegValue);
  ASSERT_EQ(2u, reads.size());
  EXPECT_EQ("OptionDic\\OptionDicNum", reads[0].path);
  EXPECT_EQ("OptionDic\\OptionDic1", reads[1].path);
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
}

TEST_F(DicListTest, TheRegisteredListUsesRegOptionDicNames) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic"});
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\B.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic", "C:\\Dic\\B.dic"}), lib().List(kRegistered));
  EXPECT_EQ(2u, lib().Dword(kRegCount));
}

TEST_F(DicListTest, FindPrefersTheSamePathAnywhereOverAnEarlierNamesake) {
  lib().SetList(kRegistered, {"C:\\A\\W.dic", "D:\\Other\\X.dic", "C:\\A\\Y.dic", "C:\\A\\Z.dic", "C:\\Dic\\X.dic"});
  EXPECT_EQ(2, store().FindInList("C:\\Dic\\X.dic", DICLIST_REGISTERED));
  lib().SetList(kRegistered, {"C:\\A\\W.dic", "D:\\Other\\X.dic"});
  EXPECT_EQ(1, store().FindInList("C:\\Dic\\X.dic", DICLIST_REGISTERED));
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\Q.dic", DICLIST_REGISTERED));
}

TEST_F(DicListTest, FindAnswersNothingWithoutACountOrWithCountZero) {
  lib().SetString("OptionDic\\RegOptionDic1", "C:\\Dic\\A.dic");
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  lib().SetDword(kRegCount, 0);
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
}

TEST_F(DicListTest, FindReadsAtMost65535EntriesWhateverTheStoredCount) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic"});
  lib().SetDword(kRegCount, 0xFFFFFFFF);
  EXPECT_EQ(2, store().FindInList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ(1u + 65535u, lib().CallsOf(testhost::kGetRegValue).size());
}

TEST_F(DicListTest, FindMatchesFileNamesWhoseTrailBytesLookLikeBackslashes) {
  // ソ is 0x83 0x5C and 表 0x95 0x5C: split byte by byte, both names would be ".dic".
  lib().SetList(kRegistered, {"C:\\A\\ソ.dic"});
  EXPECT_EQ(1, store().FindInList("D:\\B\\ソ.dic", DICLIST_REGISTERED));
  EXPECT_EQ(0, store().FindInList("D:\\B\\表.dic", DICLIST_REGISTERED));
}

TEST_F(DicListTest, AddStopsAtFifteenEnabledEntries) {
  lib().SetDword(kEnabledCount, 14);
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\A.dic", DICLIST_ENABLED));
  EXPECT_EQ("C:\\Dic\\A.dic", lib().String("OptionDic\\OptionDIC15"));
  EXPECT_EQ(15u, lib().Dword(kEnabledCount));

  lib().ClearCalls();
  EXPECT_EQ(2, store().AddToList("C:\\Dic\\B.dic", DICLIST_ENABLED));
  EXPECT_TRUE(Changes().empty());
}

TEST_F(DicListTest, AddStopsAt65535RegisteredEntries) {
  lib().SetDword(kRegCount, 65534);
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ("C:\\Dic\\A.dic", lib().String("OptionDic\\RegOptionDic65535"));
  EXPECT_EQ(65535u, lib().Dword(kRegCount));

  lib().ClearCalls();
  EXPECT_EQ(2, store().AddToList("C:\\Dic\\B.dic", DICLIST_REGISTERED));
  EXPECT_TRUE(Changes().empty());
}

TEST_F(DicListTest, AddSkipsTheSamePathButAppendsANamesakeFromAnotherFolder) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic"});
  EXPECT_EQ(1, store().AddToList("c:\\DIC\\a.dic", DICLIST_REGISTERED));
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ(0, store().AddToList("D:\\Other\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic", "D:\\Other\\A.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, AddWithoutACountStartsAfreshAtEntryOne) {
  lib().SetString("OptionDic\\RegOptionDic1", "C:\\Stale\\Old.dic");
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic"}), lib().List(kRegistered));
  EXPECT_EQ(1u, lib().Dword(kRegCount));
}

TEST_F(DicListTest, AddReportsAFailedWriteAndNeverCountsAnUnwrittenEntry) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic"});
  lib().FailNth(testhost::kSetRegValue, 1, 5);
  EXPECT_EQ(3, store().AddToList("C:\\Dic\\B.dic", DICLIST_REGISTERED));
  EXPECT_EQ(1u, lib().Dword(kRegCount));

  lib().FailNth(testhost::kSetRegValue, 2, 5);
  EXPECT_EQ(3, store().AddToList("C:\\Dic\\B.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, ACountTheLibraryFailsToReadNeverWipesTheList) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic", "C:\\Dic\\B.dic"});
  lib().FailReadsOf(kRegCount, 5);
  CStringArray list;
  EXPECT_EQ(-2, store().ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ(0, list.GetSize());
  EXPECT_EQ(3, store().AddToList("C:\\Dic\\C.dic", DICLIST_REGISTERED));
  EXPECT_EQ(-2, store().RemoveFromList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic", "C:\\Dic\\B.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, ReadSkipsGapsAndRejectsCountsAbove65535) {
  lib().SetList(kEnabled, {"C:\\A.dic", "C:\\B.dic", "C:\\C.dic"});
  lib().Remove("OptionDic\\OptionDIC2");
  CStringArray list;
  list.Add("left over");
  EXPECT_EQ(0, store().ReadList(list, DICLIST_ENABLED));
  EXPECT_EQ((Entries{"C:\\A.dic", "C:\\C.dic"}), ToEntries(list));

  lib().SetDword(kEnabledCount, 65536);
  EXPECT_EQ(1, store().ReadList(list, DICLIST_ENABLED));
  EXPECT_EQ(0, list.GetSize());

  lib().Remove(kEnabledCount);
  list.Add("left over");
  EXPECT_EQ(0, store().ReadList(list, DICLIST_ENABLED));
  EXPECT_EQ(0, list.GetSize());
}

TEST_F(DicListTest, RemoveInPathModeRewritesFromTheRemovedEntryThenTheCountThenDeletesTheRest) {
  lib().SetList(kRegistered, {"C:\\A.dic", "C:\\B.dic", "C:\\C.dic"});
  lib().ClearCalls();
  EXPECT_EQ(0, store().RemoveFromList("c:\\b.DIC", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{
                "Set OptionDic\\RegOptionDic2 C:\\C.dic",
                "Set OptionDic\\RegOptionDicNum 2",
                "Delete OptionDic\\RegOptionDic3",
            }),
            Changes());
  EXPECT_FALSE(lib().Has("OptionDic\\RegOptionDic3"));
}

TEST_F(DicListTest, DuplicatesCollapseToTheFirstOfEachPath) {
  lib().SetList(kRegistered, {"C:\\A.dic", "C:\\B.dic", "c:\\a.DIC", "C:\\C.dic", "C:\\B.dic"});
  CStringArray list;
  ASSERT_EQ(0, store().ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ(1, COptionDicStore::HasDuplicates(list));
  lib().ClearCalls();
  EXPECT_EQ(0, store().RemoveDuplicates(DICLIST_REGISTERED));
  EXPECT_EQ((Entries{
                "Set OptionDic\\RegOptionDic3 C:\\C.dic",
                "Set OptionDic\\RegOptionDicNum 3",
                "Delete OptionDic\\RegOptionDic4",
                "Delete OptionDic\\RegOptionDic5",
            }),
            Changes());
  ASSERT_EQ(0, store().ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\A.dic", "C:\\B.dic", "C:\\C.dic"}), ToEntries(list));
  EXPECT_EQ(0, COptionDicStore::HasDuplicates(list));

  // Paths too long to compare never equal anything, not even themselves.
  const std::string longPath = "C:\\" + std::string(300, 'x') + ".dic";
  list.RemoveAll();
  list.Add(longPath.c_str());
  list.Add(longPath.c_str());
  EXPECT_EQ(0, COptionDicStore::HasDuplicates(list));
  lib().ClearCalls();
  EXPECT_EQ(0, store().RemoveDuplicates(DICLIST_REGISTERED));
  EXPECT_TRUE(Changes().empty());
}

TEST_F(DicListTest, RemoveInNameModeCollectsNamesakesFromEveryFolder) {
  lib().SetList(kEnabled, {"C:\\A\\X.dic", "E:\\Y.dic", "D:\\B\\x.DIC"});
  CStringArray removed;
  removed.Add("earlier");
  EXPECT_EQ(0, store().RemoveFromList("F:\\New\\X.dic", DICLIST_ENABLED, &removed));
  EXPECT_EQ((Entries{"earlier", "C:\\A\\X.dic", "D:\\B\\x.DIC"}), ToEntries(removed));
  EXPECT_EQ((Entries{"E:\\Y.dic"}), lib().List(kEnabled));
  EXPECT_EQ("E:\\Y.dic", lib().String("OptionDic\\OptionDIC1"));

  lib().SetList(kEnabled, {"C:\\A\\X.dic", "D:\\B\\x.DIC"});
  removed.RemoveAll();
  EXPECT_EQ(0, store().RemoveFromList("F:\\New\\X.dic", DICLIST_ENABLED, &removed));
  EXPECT_EQ(2, removed.GetSize());
  EXPECT_EQ(0u, lib().Dword(kEnabledCount));

  // Namesakes elsewhere only: the path itself stays, and nothing is written
  // when nothing else matches, not even to close a gap.
  lib().SetList(kEnabled, {"C:\\A\\X.dic", "f:\\new\\x.DIC", "E:\\Y.dic"});
  removed.RemoveAll();
  EXPECT_EQ(0, store().RemoveNamesakes("F:\\New\\X.dic", DICLIST_ENABLED, removed));
  EXPECT_EQ((Entries{"C:\\A\\X.dic"}), ToEntries(removed));
  EXPECT_EQ((Entries{"f:\\new\\x.DIC", "E:\\Y.dic"}), lib().List(kEnabled));
  lib().SetDword(kEnabledCount, 3);  // entry 3 absent
  lib().ClearCalls();
  EXPECT_EQ(0, store().RemoveNamesakes("F:\\New\\X.dic", DICLIST_ENABLED, removed));
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ(1, removed.GetSize());
}

TEST_F(DicListTest, RemoveWithoutAMatchRewritesTheSameList) {
  lib().SetList(kRegistered, {"C:\\B.dic", "C:\\A.dic"});
  EXPECT_EQ(0, store().RemoveFromList("C:\\Z.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\B.dic", "C:\\A.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, RemoveOnAListWithAGapKeepsTheEntriesAroundIt) {
  // The read skips entry 2; its deletion then finds nothing to delete.
  lib().SetList(kRegistered, {"C:\\A.dic", "C:\\B.dic", "C:\\C.dic"});
  lib().Remove("OptionDic\\RegOptionDic2");
  EXPECT_EQ(0, store().RemoveFromList("C:\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\C.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, RemoveLeavesACountAbove65535AndAMissingCountAlone) {
  lib().SetDword(kRegCount, 65536);
  EXPECT_EQ(1, store().RemoveFromList("C:\\A.dic", DICLIST_REGISTERED));
  EXPECT_TRUE(Changes().empty());

  lib().Remove(kRegCount);
  EXPECT_EQ(0, store().RemoveFromList("C:\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ(0u, lib().Dword(kRegCount));
}

TEST_F(DicListTest, ARewriteFailingAtAnyStepKeepsEveryKeptEntryListed) {
  const Entries before{"C:\\A.dic", "C:\\B.dic", "C:\\C.dic", "C:\\D.dic"};
  // Writes: entries 2 and 3, then the count.
  for (int n = 1; n <= 3; ++n) {
    lib().SetList(kRegistered, before);
    lib().FailNth(testhost::kSetRegValue, n, 5);
    EXPECT_EQ(-2, store().RemoveFromList("C:\\B.dic", DICLIST_REGISTERED));
    const Entries listed = lib().List(kRegistered);
    EXPECT_EQ(lib().Dword(kRegCount), listed.size()) << "write " << n;
    for (const char* kept : {"C:\\A.dic", "C:\\C.dic", "C:\\D.dic"}) {
      EXPECT_NE(listed.end(), std::find(listed.begin(), listed.end(), kept)) << kept << " after write " << n;
    }
  }
  lib().SetList(kRegistered, before);
  lib().FailNth(testhost::kDeleteRegKeyData, 1, 5);
  EXPECT_EQ(-2, store().RemoveFromList("C:\\B.dic", DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\A.dic", "C:\\C.dic", "C:\\D.dic"}), lib().List(kRegistered));
}

TEST_F(DicListTest, AnEntryTheLibraryCannotReadIsPassedOverAndNeverDropped) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic", "D:\\Other\\X.dic", "C:\\Dic\\B.dic"});
  lib().FailReadsOf("OptionDic\\RegOptionDic2", 5);
  CStringArray list;
  EXPECT_EQ(0, store().ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic", "C:\\Dic\\B.dic"}), ToEntries(list));
  // The lookup says what it saw, and whether it missed something.
  int bUnsure = -1;
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\X.dic", DICLIST_REGISTERED, &bUnsure));
  EXPECT_EQ(1, bUnsure);
  EXPECT_EQ(2, store().FindInList("C:\\Dic\\B.dic", DICLIST_REGISTERED, &bUnsure));
  EXPECT_EQ(0, bUnsure);
  // Appending rewrites nothing; a rewrite must not move the entry.
  EXPECT_EQ(0, store().AddToList("C:\\Dic\\C.dic", DICLIST_REGISTERED));
  lib().ClearCalls();
  EXPECT_EQ(COptionDicStore::kUnreadableInTheWay, store().RemoveFromList("C:\\Dic\\A.dic", DICLIST_REGISTERED));
  CStringArray removed;
  EXPECT_EQ(COptionDicStore::kUnreadableInTheWay,
            store().RemoveFromList("C:\\Dic\\A.dic", DICLIST_REGISTERED, &removed));
  EXPECT_EQ(0, removed.GetSize());
  EXPECT_TRUE(Changes().empty());
  // Behind it, the entry goes; the result says one may have been missed.
  EXPECT_EQ(COptionDicStore::kRewrittenAroundUnreadable, store().RemoveFromList("C:\\Dic\\B.dic", DICLIST_REGISTERED));
  EXPECT_EQ(3u, lib().Dword(kRegCount));
  EXPECT_EQ("D:\\Other\\X.dic", lib().String("OptionDic\\RegOptionDic2"));
  EXPECT_EQ("C:\\Dic\\C.dic", lib().String("OptionDic\\RegOptionDic3"));

  lib().FailReadsOf(kRegCount, 5);
  EXPECT_EQ(0, store().FindInList("C:\\Dic\\A.dic", DICLIST_REGISTERED, &bUnsure));
  EXPECT_EQ(1, bUnsure);
}

TEST_F(DicListTest, ACountOfExactly65535IsAList) {
  lib().SetList(kRegistered, {"C:\\Dic\\A.dic"});
  lib().SetDword(kRegCount, 65535);
  CStringArray list;
  EXPECT_EQ(0, store().ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"C:\\Dic\\A.dic"}), ToEntries(list));
}

TEST_F(DicListTest, EveryListOperationRefusesWhenNotReady) {
  store_.reset();
  fakewin::Reset();
  testhost::Reset();
  COptionDicStore unbound;
  CStringArray list;
  list.Add("kept");
  EXPECT_EQ(-1, unbound.FindInList("C:\\A.dic", DICLIST_REGISTERED));
  EXPECT_EQ(-1, unbound.AddToList("C:\\A.dic", DICLIST_ENABLED));
  EXPECT_EQ(-1, unbound.RemoveFromList("C:\\A.dic", DICLIST_ENABLED, &list));
  EXPECT_EQ(-1, unbound.ReadList(list, DICLIST_REGISTERED));
  EXPECT_EQ((Entries{"kept"}), ToEntries(list));
}

}  // namespace
}  // namespace storetest
