#include <gtest/gtest.h>

#include "framework/Contnrs.h"

namespace {

// Records every notification as "+p", "-p" (deleted) or "~p" (extracted).
class TRecordingList : public TList {
  DECLARE_CLASS(TRecordingList, TList)
 public:
  String Log;

 protected:
  void Notify(Pointer Ptr, TListNotification Action) override {
    Log += Action == lnAdded ? L'+' : Action == lnDeleted ? L'-' : L'~';
    Log += static_cast<Char>(L'a' + (static_cast<char*>(Ptr) - Base));
  }

 public:
  static char Base[8];
};
char TRecordingList::Base[8];

Pointer P(int I) { return TRecordingList::Base + I; }

TEST(PointerList, NotifiesEveryItemThatEntersOrLeaves) {
  struct Case {
    const char* Name;
    std::function<void(TRecordingList&)> Op;
    const wchar_t* Log;
  };
  const Case Cases[] = {
      {"Add skips nil", [](TRecordingList& L) { L.Add(nullptr); }, L""},
      {"Insert", [](TRecordingList& L) { L.Insert(0, P(3)); }, L"+d"},
      {"Delete", [](TRecordingList& L) { L.Delete(1); }, L"-b"},
      {"Remove", [](TRecordingList& L) { L.Remove(P(2)); }, L"-c"},
      {"Remove absent", [](TRecordingList& L) { EXPECT_EQ(L.Remove(P(7)), -1); }, L""},
      {"Extract", [](TRecordingList& L) { EXPECT_EQ(L.Extract(P(0)), P(0)); }, L"~a"},
      {"Extract absent", [](TRecordingList& L) { EXPECT_EQ(L.Extract(P(7)), nullptr); }, L""},
      {"Replace", [](TRecordingList& L) { L.SetItems(0, P(5)); }, L"-a+f"},
      {"Replace with itself", [](TRecordingList& L) { L.SetItems(0, P(0)); }, L""},
      {"Clear deletes from the end", [](TRecordingList& L) { L.Clear(); }, L"-c-b-a"},
      {"Move and Exchange are silent", [](TRecordingList& L) { L.Move(0, 2), L.Exchange(0, 1); }, L""},
  };
  for (const auto& C : Cases) {
    TRecordingList L;
    L.Add(P(0)), L.Add(P(1)), L.Add(P(2));
    L.Log.clear();
    C.Op(L);
    EXPECT_EQ(L.Log, C.Log) << C.Name;
  }
}

TEST(PointerList, BadIndexesRaiseListErrorWithTheIndex) {
  TList L;
  L.Add(P(0)), L.Add(P(1));
  struct Case {
    std::function<void()> Op;
    const wchar_t* Message;
  };
  const Case Cases[] = {
      {[&] { L.GetItems(2); }, L"List index out of bounds (2)"},
      {[&] { L.Delete(-1); }, L"List index out of bounds (-1)"},
      {[&] { L.Insert(3, nullptr); }, L"List index out of bounds (3)"},
      {[&] { L.Move(0, 5); }, L"List index out of bounds (5)"},
      {[&] { L.Exchange(4, 0); }, L"List index out of bounds (4)"},
      {[&] { L.SetCapacity(1); }, L"List capacity out of bounds (1)"},
      {[&] { L.SetCount(-1); }, L"List count out of bounds (-1)"},
  };
  for (const auto& C : Cases) {
    try {
      C.Op();
      ADD_FAILURE() << "no error for " << UTF8Encode(C.Message);
    } catch (const EListError& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
  }
  TList Empty;
  EXPECT_THROW(Empty.First(), EListError);
  EXPECT_THROW(Empty.Last(), EListError);
}

TEST(PointerList, InsertMovePackAndSortKeepTheOrderExpected) {
  TList L;
  L.Add(P(2)), L.Add(nullptr), L.Add(P(0)), L.Add(nullptr), L.Add(P(1));
  L.Insert(0, P(3));
  EXPECT_EQ(L.GetCount(), 6);
  L.Pack();
  ASSERT_EQ(L.GetCount(), 4);
  L.Sort([](Pointer A, Pointer B) { return Integer(static_cast<char*>(A) - static_cast<char*>(B)); });
  EXPECT_EQ(L.First(), P(0));
  EXPECT_EQ(L.Last(), P(3));
  L.Move(0, 3);  // 1 2 3 0
  EXPECT_EQ(L[0], P(1));
  EXPECT_EQ(L[3], P(0));
  EXPECT_EQ(L.IndexOf(P(3)), 2);
  TList Copy;
  Copy.Assign(&L);
  EXPECT_EQ(Copy.GetCount(), 4);
  EXPECT_EQ(Copy[3], P(0));
}

}  // namespace
