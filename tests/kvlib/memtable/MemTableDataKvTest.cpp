// The in-memory table's storage: stored values through conversion and streaming, descriptors and
// the structure, records and their value versions, the records list's notifications and change
// log, indexes kept against a brute-force sort, and the storage object streamed out and in.

#include "kvlib/memtable/MemTableDataKv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "framework/FMTBcd.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/DBUtilsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

struct TFieldSpec {
  const wchar_t* Name;
  TFieldType DataType;
  Integer Size = 0;
};

// A storage object with the fields given, freed with the fixture.
class TTable {
 public:
  TTable(const std::vector<TFieldSpec>& Fields) : Data(new TMemTableDataKv(nullptr)) {
    for (const TFieldSpec& F : Fields) Data->GetDataStruct()->BuildDataFieldForDef(F.Name, F.DataType, F.Size, 0);
  }
  ~TTable() { delete Data; }
  TRecordsListKv* List() const { return Data->GetRecordsList(); }
  // Adds a record with the values in structure order.
  TMemoryRecordKv* Add(std::initializer_list<Variant> Values) {
    TMemoryRecordKv* Rec = List()->NewRecord();
    Integer I = 0;
    for (const Variant& V : Values) Rec->SetDataValue(I++, dvvValueKv, V);
    try {
      List()->AddRecord(Rec);
    } catch (...) {
      delete Rec;
      throw;
    }
    return Rec;
  }
  Variant At(Integer Rec, Integer Field) const { return List()->GetRec(Rec)->GetDataValue(Field, dvvValueKv); }
  TMemTableDataKv* Data;
};

TBytes StreamBytes(TMemoryStream& S) {
  TBytes B(size_t(S.GetSize()));
  if (!B.empty()) std::memcpy(B.data(), S.GetMemory(), B.size());
  return B;
}

TBytes WrittenRecord(TMemoryRecordKv* Rec) {
  TMemoryStream S;
  {
    TWriter W(&S, 1024);
    Rec->WriteRecordData(&W);
  }
  return StreamBytes(S);
}

Variant ByteArray(std::initializer_list<Byte> Bytes) {
  Variant V = VarArrayCreate({0, Integer(Bytes.size()) - 1}, varByte);
  Integer I = 0;
  for (Byte B : Bytes) V[I++] = Variant(B);
  return V;
}

// Records the notifications that reach a notificator, as text.
class TRecorder : public TRecordsListNotificatorKv {
 public:
  explicit TRecorder(TMemTableDataKv* Data) : TRecordsListNotificatorKv(nullptr) {
    SetOnDataEvent([this](TMemoryRecordKv* Rec, Integer Index, TRecordsListNotification Action) {
      static const wchar_t* Names[] = {L"Adding",   L"Added",       L"Changing",        L"Changed",
                                       L"Deleting", L"Deleted",     L"ListChanging",    L"ListChanged",
                                       L"MarkingForDel", L"MarkedForDel"};
      Log.push_back(String(Names[Action]) + L" " + IntToStr(Index) +
                    (Rec ? L" " + VarToStr(Rec->GetDataValue(0, dvvValueKv)) : String()));
    });
    SetOnRecordMoved([this](TMemoryRecordKv* Rec, Integer Old, Integer New) {
      Log.push_back(L"Moved " + IntToStr(Old) + L" " + IntToStr(New) + L" " + VarToStr(Rec->GetDataValue(0, dvvValueKv)));
    });
    SetDataObject(Data);
    Log.clear();
  }
  std::vector<String> Log;
};

using Lines = std::vector<String>;

// ---- Stored values ------------------------------------------------------------------------------

struct TValueCase {
  TFieldType DataType;
  Integer Size;
  Variant Value;      // written into the record
  TVarType Stored;    // the variant type the record keeps
  String Text;        // the value's text after a stream round trip
};

TEST(MemTableStoredValue, EachFieldTypeConvertsStreamsAndReadsBack) {
  TSQLTimeStamp Stamp{2021, 3, 4, 5, 6, 7, 89};
  TSQLTimeStampOffset StampOff{2021, 3, 4, 5, 6, 7, 89, -5, -30};
  const TValueCase Cases[] = {
      {ftString, 20, Variant(L"abc"), varString, L"abc"},
      {ftWideString, 20, Variant(L"Şişli Ağaç"), varUString, L"Şişli Ağaç"},
      {ftFixedWideChar, 20, Variant(L"İğne"), varOleStr, L"İğne"},
      {ftSmallint, 0, Variant(L"-12"), varSmallint, L"-12"},
      {ftInteger, 0, Variant(70000), varInteger, L"70000"},
      {ftLargeint, 0, Variant(Int64(1) << 40), varInt64, L"1099511627776"},
      {ftWord, 0, Variant(65535), varInteger, L"65535"},
      {ftByte, 0, Variant(200), varByte, L"200"},
      {ftFloat, 0, Variant(2.5), varDouble, L"2.5"},
      {ftCurrency, 0, Variant(Currency(12.34)), varCurrency, L"12.34"},
      {ftBCD, 4, Variant(Currency(-0.5)), varCurrency, L"-0.5"},
      {ftFMTBcd, 4, StrToVarFixedFormat(L"123456789012345678.1234", VarFMTBcd()), VarFMTBcd(), L"123456789012345678.1234"},
      {ftBoolean, 0, Variant(true), varBoolean, L"True"},
      {ftDate, 0, Variant(TDateTime(EncodeDate(2024, 2, 29))), varDate, L"2024-02-29"},
      {ftTimeStamp, 0, VarSQLTimeStampCreate(Stamp), VarSQLTimeStamp(), L"2021-03-04T05:06:07.089"},
      {ftTimeStampOffset, 0, VarSQLTimeStampOffsetCreate(StampOff), VarSQLTimeStampOffset(),
       L"2021-03-04T05:06:07.089-05:30"},
      {ftBlob, 0, ByteArray({1, 0, 255}), varArray | varByte, L"[1, 0, 255]"},
      {ftBytes, 4, Variant(AnsiString("ab")), varArray | varByte, L"[97, 98]"},
      {ftOraBlob, 0, ByteArray({5, 6}), varArray | varByte, L"[5, 6]"},
      {ftMemo, 0, ByteArray({104, 105}), varString, L"hi"},
      {ftVariant, 0, Variant(L"any"), varUString, L"any"},
      {ftInteger, 0, Null, varNull, L"Null"},
      {ftBlob, 0, Null, varNull, L"Null"},
  };
  auto Text = [](const Variant& V) -> String {
    if (V.IsNull()) return L"Null";
    if (VarIsArray(V) && VarArrayElementType(V) == varByte) {
      String S = L"[";
      for (Integer I = VarArrayLowBound(V, 1); I <= VarArrayHighBound(V, 1); ++I)
        S += (I > VarArrayLowBound(V, 1) ? L", " : L"") + VarToStr(V[I]);
      return S + L"]";
    }
    if (VarIsSQLTimeStampOffset(V)) return SQLTimeStampOffsetVarToText(V);
    if (VarIsSQLTimeStamp(V)) return SQLTimeStampVarToText(V);
    if (V.Type() == varDate) return FormatDateTime(L"yyyy-mm-dd", V.AsDateTime());
    return VarToStrFixedFormat(V);
  };
  for (const TValueCase& C : Cases) {
    SCOPED_TRACE(FieldTypeNames[C.DataType]);
    TTable T({{L"F", C.DataType, C.Size}});
    TMemoryRecordKv* Rec = T.Add({C.Value});
    Variant Stored = Rec->GetDataValue(0, dvvValueKv);
    EXPECT_EQ(VarType(Stored), C.Stored);
    TBytes Bytes = WrittenRecord(Rec);

    TMemoryRecordKv* Back = T.List()->NewRecord();
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), Integer(Bytes.size()));
    S.SetPosition(0);
    {
      TReader R(&S, 1024);
      Back->ReadRecordData(&R);
    }
    Variant Read = Back->GetDataValue(0, dvvValueKv);
    EXPECT_EQ(VarType(Read), C.Stored);
    EXPECT_EQ(Text(Read), C.Text);
    EXPECT_EQ(WrittenRecord(Back), Bytes);
    delete Back;
  }
}

TEST(MemTableStoredValue, EncodingOfNullEmptyAndBinaryValues) {
  TTable T({{L"Blob", ftBlob}, {L"Int", ftInteger}});
  TMemoryRecordKv* Rec = T.Add({Null, Null});
  // A record is a list; Null is the empty value, for blobs too, so it reads back as Null.
  EXPECT_EQ(WrittenRecord(Rec), (TBytes{vaList, vaNil, vaNil, vaNull}));

  Rec->SetDataValue(0, dvvValueKv, Variant(AnsiString("AB")));
  EXPECT_EQ(WrittenRecord(Rec), (TBytes{vaList, vaBinary, 2, 0, 0, 0, 'A', 'B', vaNil, vaNull}));

  // A binary value of no bytes stays an empty array, not Null.
  TMemoryStream S;
  const Byte Empty[] = {vaList, vaBinary, 0, 0, 0, 0, vaNil, vaNull};
  S.WriteBuffer(Empty, sizeof(Empty));
  S.SetPosition(0);
  TReader R(&S);
  Rec->ReadRecordData(&R);
  Variant V = Rec->GetDataValue(0, dvvValueKv);
  EXPECT_TRUE(VarIsArray(V));
  EXPECT_EQ(VarArrayHighBound(V, 1), -1);
  EXPECT_TRUE(Rec->GetDataValue(1, dvvValueKv).IsNull());

  Rec->SetDataValue(1, dvvValueKv, Unassigned);
  try {
    WrittenRecord(Rec);
    FAIL() << "an Empty value was written";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"\"TMemoryRecordKv.WriteData\" - Invalid variant type - varEmpty");
  }
}

TEST(MemTableStoredValue, ANonBinaryValueWhereBinaryIsExpectedIsAReadError) {
  TTable T({{L"Blob", ftBlob}});
  TMemoryRecordKv* Rec = T.Add({ByteArray({7})});
  TMemoryStream S;
  const Byte Wrong[] = {vaList, vaInt8, 5, vaNull};
  S.WriteBuffer(Wrong, sizeof(Wrong));
  S.SetPosition(0);
  TReader R(&S);
  EXPECT_THROW(Rec->ReadRecordData(&R), EReadError);
}

TEST(MemTableStoredValue, TimeStampTexts) {
  struct TCase {
    const wchar_t* Text;
    TSQLTimeStampOffset Stamp;
  } Cases[] = {
      {L"2021-03-04T05:06:07.089", {2021, 3, 4, 5, 6, 7, 89, 0, 0}},
      {L"2021-03-04T05:06:07.089+03:00", {2021, 3, 4, 5, 6, 7, 89, 3, 0}},
      {L"2021-03-04T05:06:07-05:30", {2021, 3, 4, 5, 6, 7, 0, -5, -30}},
      {L"2021-03-04T00:00:00", {2021, 3, 4, 0, 0, 0, 0, 0, 0}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Text);
    EXPECT_EQ(VarToSQLTimeStampOffset(TextToSQLTimeStampOffsetVar(C.Text)), C.Stamp);
    EXPECT_EQ(SQLTimeStampOffsetVarToText(VarSQLTimeStampOffsetCreate(C.Stamp)), C.Text);
  }
  // A date alone is midnight; a stamp without offset never gets a zone.
  EXPECT_EQ(VarToSQLTimeStampOffset(TextToSQLTimeStampOffsetVar(L"2021-03-04")),
            (TSQLTimeStampOffset{2021, 3, 4, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(SQLTimeStampVarToText(TextToSQLTimeStampVar(L"2021-03-04T05:06:07.089+03:00")), L"2021-03-04T05:06:07.089");
  EXPECT_THROW(TextToSQLTimeStampVar(L"20x1-03-04"), EConvertError);
}

TEST(MemTableStoredValue, AValueTheFieldCannotTakeIsRefusedWithTheFieldName) {
  TTable T({{L"Qty", ftInteger}});
  TMemoryRecordKv* Rec = T.Add({Variant(5)});
  try {
    Rec->SetDataValue(0, dvvValueKv, Variant(L"beş"));
    FAIL() << "a text that is no number was stored";
  } catch (const EDatabaseError& E) {
    EXPECT_NE(E.Message().find(L"Qty"), String::npos) << E.Message().c_str();
  }
  EXPECT_EQ(Rec->GetDataValue(0, dvvValueKv).AsInteger(), 5);
}

// A stored value read in place answers what its variant would, and compares as its variant
// compares, without making one.
TEST(MemTableStoredValue, ReadInPlaceAsItsVariant) {
  TTable T({{L"I", ftInteger}, {L"L", ftLargeint}, {L"C", ftCurrency}, {L"F", ftFloat}, {L"D", ftDateTime},
            {L"B", ftBoolean}, {L"S", ftWideString, 20}, {L"A", ftString, 20}, {L"V", ftVariant}, {L"W", ftWord}});
  const Variant Rows[][10] = {
      {Variant(7), Variant(Int64(1) << 40), Variant(Currency(2.5)), Variant(-0.25), Variant(TDateTime(45000.5)),
       Variant(true), Variant(L"Şişli"), Variant(L"abc"), Variant(Currency(3)), Variant(65535)},
      {Null, Null, Null, Null, Null, Null, Null, Null, Null, Null},
      {Variant(-3), Variant(Int64(-5)), Variant(Currency(-1)), Variant(1e300), Variant(TDateTime(-700.25)),
       Variant(false), Variant(L""), Variant(L"İğne"), Variant(L"text"), Variant(0)},
  };
  for (const auto& Row : Rows) {
    TMemoryRecordKv* Rec = T.Add({Row[0], Row[1], Row[2], Row[3], Row[4], Row[5], Row[6], Row[7], Row[8], Row[9]});
    for (Integer F = 0; F < 10; ++F) {
      Variant V = Rec->GetDataValue(F, dvvValueKv);
      TMTValueRefKv Ref = Rec->GetValueRef(F);
      EXPECT_EQ(Ref.VarType, VarType(V)) << F;
      EXPECT_EQ(Ref.IsNull(), V.IsNull()) << F;
      if (VarIsStr(V)) {
        EXPECT_EQ(String(Ref.TextView()), V.AsString()) << F;
      }
      EXPECT_EQ(VarType(Ref.ToVariant()), VarType(V)) << F;
      // Against values of every row and kind, as DBVarCompareValue orders the variants.
      for (const auto& Other : Rows)
        for (const Variant& W : Other) {
          TVariantRelationship Expected;
          try {
            Expected = DBVarCompareValue(V, W);
          } catch (const Exception&) {
            EXPECT_THROW(Rec->CompareDataValue(F, TMTValueRefKv::Of(W)), Exception) << F;
            continue;
          }
          EXPECT_EQ(Rec->CompareDataValue(F, TMTValueRefKv::Of(W)), Expected)
              << F << " " << VarToStr(V).c_str() << " vs " << VarToStr(W).c_str();
        }
    }
  }
  EXPECT_THROW(T.List()->GetRec(0)->GetValueRef(10), EListError);
}

// Texts keep their values whatever their lengths and however they change: in the record's own
// room, or in a block of their own when they do not fit, and back.
TEST(MemTableStoredValue, TextsOfAnyLengthKeepTheirValues) {
  TTable T({{L"A", ftWideString, 10}, {L"N", ftInteger}, {L"B", ftFixedWideChar, 10}, {L"C", ftString, 10}});
  TMemoryRecordKv* Rec = T.Add({Variant(L"kısa"), Variant(1), Null, Variant(L"c")});
  const String Long(300, L'ğ'), Huge(70000, L'x');
  const struct {
    Integer Field;
    Variant Value;
  } Steps[] = {{0, Variant(Long)}, {2, Variant(L"orta")}, {0, Variant(L"")}, {3, Null}, {2, Variant(Huge)},
               {0, Variant(L"ilk")},  {2, Null},           {3, Variant(Long)}, {3, Variant(L"son")}, {0, Null}};
  Variant Now[4] = {Variant(L"kısa"), Variant(1), Null, Variant(L"c")};
  for (const auto& S : Steps) {
    Rec->SetDataValue(S.Field, dvvValueKv, S.Value);
    Now[S.Field] = S.Value;
    // An edit keeps its own copy; a cancel brings the values back whole.
    Rec->Edit();
    Rec->SetDataValue(0, dvvValueKv, Variant(Huge + L"!"));
    Rec->SetDataValue(3, dvvValueKv, Variant(L"değişti"));
    Rec->Cancel();
    for (Integer F = 0; F < 4; ++F) {
      Variant V = Rec->GetDataValue(F, dvvValueKv);
      EXPECT_EQ(V.IsNull(), Now[F].IsNull()) << F;
      if (!V.IsNull()) {
        EXPECT_EQ(VarToStr(V), VarToStr(Now[F])) << F;
      }
    }
  }
  EXPECT_EQ(VarType(Rec->GetDataValue(2, dvvValueKv)), varNull);
  EXPECT_EQ(VarType(Rec->GetDataValue(3, dvvValueKv)), varString);
}

// SetValue stores a value as it is, of whatever type: it reads back as given, and an edit, a
// cancel and a stream keep it.
TEST(MemTableStoredValue, ARawValueOfAnotherTypeKeepsItsType) {
  TTable T({{L"N", ftInteger}, {L"S", ftWideString, 10}});
  T.Add({Variant(1), Variant(L"a")});
  T.List()->SetValue(0, 0, Variant(L"yedi"));
  T.List()->SetValue(0, 1, Variant(2.5));
  EXPECT_EQ(VarType(T.List()->GetValue(0, 0)), varUString);
  EXPECT_EQ(VarToStr(T.List()->GetValue(0, 0)), L"yedi");
  EXPECT_EQ(VarType(T.List()->GetValue(0, 1)), varDouble);
  TMemoryRecordKv* Rec = T.List()->GetRec(0);
  Rec->Edit();
  Rec->SetDataValue(0, dvvValueKv, Variant(3));
  EXPECT_EQ(VarToStr(Rec->GetDataValue(0, dvvCurValueKv)), L"yedi");
  Rec->Cancel();
  EXPECT_EQ(VarToStr(Rec->GetDataValue(0, dvvValueKv)), L"yedi");
  // Written by the field, which converts it back as a number field's value when read.
  T.List()->SetValue(0, 0, Variant(L"8"));
  TMemTableDataKv Loaded(nullptr);
  TMemoryStream S;
  T.Data->SetStoreStructInStream(true);
  T.Data->SetStoreRecordsInStream(true);
  S.WriteComponent(T.Data);
  S.SetPosition(0);
  S.ReadComponent(&Loaded);
  EXPECT_EQ(Loaded.GetRecordsList()->GetRec(0)->GetDataValue(0, dvvValueKv).AsInteger(), 8);
}

// ---- Descriptors and the structure --------------------------------------------------------------

TEST(MemTableStructure, BuildsDescriptorsFromDefinitionsAndBack) {
  TMemTableDataKv Data(nullptr);
  TFieldDefs Defs(nullptr);
  Defs.Add(L"Id", ftInteger);
  Defs.Add(L"Name", ftString, 30);
  TFieldDef* Amount = Defs.Add(L"Amount", ftBCD, 2);
  Amount->SetPrecision(10);
  Defs.Add(L"Seq", ftAutoInc);
  Data.GetDataStruct()->BuildStructFromFieldDefs(&Defs);

  TMTDataStructKv* S = Data.GetDataStruct();
  ASSERT_EQ(S->GetCount(), 4);
  auto* Id = dynamic_cast<TMTNumericDataFieldKv*>(S->GetDataField(0));
  ASSERT_TRUE(Id);
  EXPECT_EQ(Id->GetNumericDataType(), fdtIntegerKv);
  EXPECT_EQ(Id->GetAlignment(), taRightJustify);
  auto* Name = dynamic_cast<TMTStringDataFieldKv*>(S->GetDataField(1));
  ASSERT_TRUE(Name);
  EXPECT_EQ(Name->GetSize(), 30);
  auto* Bcd = dynamic_cast<TMTNumericDataFieldKv*>(S->GetDataField(2));
  ASSERT_TRUE(Bcd);
  EXPECT_EQ(Bcd->GetNumericDataType(), fdtBCDKv);
  EXPECT_EQ(Bcd->GetScale(), 2);
  EXPECT_EQ(Bcd->GetDisplayWidth(), 11);
  auto* Seq = dynamic_cast<TMTNumericDataFieldKv*>(S->GetDataField(3));
  ASSERT_TRUE(Seq);
  EXPECT_EQ(Seq->GetNumericDataType(), fdtAutoIncKv);
  EXPECT_TRUE(Seq->GetAutoIncrement());

  TFieldDefs Back(nullptr);
  S->BuildFieldDefsFromStruct(&Back);
  ASSERT_EQ(Back.GetCount(), 4);
  const TFieldType Types[] = {ftInteger, ftString, ftBCD, ftAutoInc};
  const Integer Sizes[] = {0, 30, 2, 0};
  for (Integer I = 0; I < 4; ++I) {
    EXPECT_EQ(Back[I]->GetDataType(), Types[I]);
    EXPECT_EQ(Back[I]->GetSize(), Sizes[I]);
  }
  EXPECT_EQ(Back[2]->GetPrecision(), 10);
}

// A provider that builds the descriptor of one field itself.
class TNamesAsTextFeatures : public TDatasetFeaturesKv {
 public:
  TNamesAsTextFeatures() : TDatasetFeaturesKv(TArrayDataSet::StaticClass()) {}
  bool AddDataField(TComponent* DataStruct, TField* Field) override {
    if (Field->GetFieldName() != L"CODE") return false;
    TMTDataFieldKv* F = static_cast<TMTDataStructKv*>(DataStruct)->BuildDataFieldForDef(L"CODE", ftWideString, 8, 0);
    F->SetDisplayLabel(L"by the provider");
    return true;
  }
};

TEST(MemTableStructure, BuildsDescriptorsFromFieldsWithTheirProperties) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"ID", ftAutoInc);
  DS.GetFieldDefs()->Add(L"NAME", ftString, 25);
  DS.GetFieldDefs()->Add(L"CODE", ftInteger);
  DS.GetFieldDefs()->Add(L"PRICE", ftBCD, 2);
  for (TFieldDef* D : DS.GetFieldDefList()) D->CreateField(&DS);
  auto* Total = new TFloatField(&DS);
  Total->SetFieldName(L"TOTAL");
  Total->SetFieldKind(fkCalculated);
  Total->SetDataSet(&DS);
  auto* Kept = new TIntegerField(&DS);
  Kept->SetFieldName(L"KEPT");
  Kept->SetFieldKind(fkInternalCalc);
  Kept->SetDataSet(&DS);
  TField* Name = DS.FieldByName(L"NAME");
  Name->SetDisplayLabel(L"Adı");
  Name->SetRequired(true);
  Name->SetAlignment(taCenter);
  static_cast<TBCDField*>(DS.FieldByName(L"PRICE"))->SetPrecision(12);
  DS.FieldByName(L"ID")->SetAutoGenerateValue(arAutoInc);

  TTable T({{L"Old", ftInteger}});
  T.Add({Variant(1)});
  RegisterDatasetFeaturesKv(new TNamesAsTextFeatures());
  T.Data->GetDataStruct()->BuildStructFromFields(DS.GetFields());
  UnregisterDatasetFeaturesKv(TArrayDataSet::StaticClass());

  TMTDataStructKv* S = T.Data->GetDataStruct();
  EXPECT_EQ(T.List()->GetCount(), 0);  // the former table went
  ASSERT_EQ(S->GetCount(), 5);          // a calculated field has no place in the storage
  const struct {
    const wchar_t* Name;
    TFieldType DataType;
    Integer Size;
  } Expected[] = {{L"ID", ftAutoInc, 0}, {L"NAME", ftString, 25}, {L"CODE", ftWideString, 8}, {L"PRICE", ftBCD, 2},
                  {L"KEPT", ftInteger, 0}};
  for (Integer I = 0; I < 5; ++I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(S->GetDataField(I)->GetFieldName(), Expected[I].Name);
    EXPECT_EQ(S->GetDataField(I)->GetDataType(), Expected[I].DataType);
    EXPECT_EQ(S->GetDataField(I)->GetSize(), Expected[I].Size);
  }
  EXPECT_TRUE(S->GetDataField(0)->GetAutoIncrement());
  EXPECT_EQ(S->GetDataField(1)->GetDisplayLabel(), L"Adı");
  EXPECT_TRUE(S->GetDataField(1)->GetRequired());
  EXPECT_EQ(S->GetDataField(1)->GetAlignment(), taCenter);
  EXPECT_EQ(S->GetDataField(2)->GetDisplayLabel(), L"by the provider");
  EXPECT_EQ(static_cast<TMTNumericDataFieldKv*>(S->GetDataField(3))->GetPrecision(), 12);
  EXPECT_FALSE(S->GetDataField(3)->GetCalculated());
  EXPECT_TRUE(S->GetDataField(4)->GetCalculated());
}

TEST(MemTableStructure, ComponentNamesAreDerivedFromFieldNames) {
  TMemTableDataKv Data(nullptr);
  TMTDataStructKv* S = Data.GetDataStruct();
  const struct {
    const wchar_t* FieldName;
    const wchar_t* ComponentName;
  } Cases[] = {
      {L"Name", L"Name"},
      {L"1st Name", L"MTStringDataFieldKv1stName"},
      {L"1stName", L"MTStringDataFieldKv1stName2"},
      {L"Şehir Adı", L"ehirAd"},
  };
  for (const auto& C : Cases) {
    TMTDataFieldKv* F = S->CreateField(TMTStringDataFieldKv::StaticClass());
    F->SetFieldName(C.FieldName);
    EXPECT_EQ(F->GetName(), C.ComponentName) << C.FieldName;
  }
  // A rename that only changes case keeps the old component name in the way.
  S->GetDataField(0)->SetFieldName(L"NAME");
  EXPECT_EQ(S->GetDataField(0)->GetName(), L"NAME2");
}

TEST(MemTableStructure, LookupErrors) {
  TTable T({{L"Id", ftInteger}, {L"Born", ftDate}});
  TMTDataStructKv* S = T.Data->GetDataStruct();
  EXPECT_EQ(S->FieldsIndex(L"Born;Id"), (TIntArray{1, 0}));
  EXPECT_EQ(S->FieldsIndex(L"Gone"), TIntArray{});
  try {
    S->FieldsIndex(L"Id;Gone");
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"DataStruct: Field 'Gone' not found");
  }
  try {
    S->GetDataField(1)->SetSize(8);
    FAIL();
  } catch (const EDatabaseError& E) {
    EXPECT_NE(E.Message().find(L"Invalid field size"), String::npos);
  }
  EXPECT_THROW(S->GetDataField(0)->SetFieldName(L"BORN"), EDatabaseError);
  EXPECT_EQ(S->GetDataField(0)->GetFieldName(), L"Id");
  EXPECT_THROW(S->BuildDataFieldForDef(L"Cur", ftCursor, 0, 0), EDatabaseError);
  EXPECT_EQ(S->GetCount(), 2);
  try {
    S->GetDataField(0)->AssignDataType(ftDate);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"Can not assign DataType from Field");
  }
}

// The storage's own error texts, each as the user reads it, with the class of its exception.
TEST(MemTableStorage, ErrorTextsByteForByte) {
  struct TCase {
    const wchar_t* Text;
    std::function<void(TTable&)> Cause;
    bool Database;  // an EDatabaseError (a plain Exception otherwise)
  } Cases[] = {
      {L"Field name missing", [](TTable& T) { T.Data->GetDataStruct()->GetDataField(0)->SetFieldName(L""); }, true},
      {L"Duplicate field name 'NAME'", [](TTable& T) { T.Data->GetDataStruct()->GetDataField(0)->SetFieldName(L"NAME"); },
       true},
      {L"Can't assign DataType from Field",
       [](TTable& T) { T.Data->GetDataStruct()->CreateField(TMTDataFieldKv::StaticClass())->AssignDataType(ftInteger); },
       false},
      {L"MemTableData already in RestructMode.",
       [](TTable& T) {
         T.Data->BeginRestruct();
         T.Data->BeginRestruct();
       },
       false},
      {L"Dataset not in edit or insert mode", [](TTable& T) { T.List()->GetRec(0)->Post(); }, true},
      {L"TMemoryRecordKv.GetDataValues: Old values is not accessible.",
       [](TTable& T) { T.List()->GetRec(0)->GetDataValue(0, dvvOldValueKv); }, false},
      {L"TMemoryRecordKv.GetDataValues: Edit values is not accessible.",
       [](TTable& T) { T.List()->GetRec(0)->SetDataValue(0, dvvEditValueKv, Variant(2)); }, false},
      {L"procedure TMemoryRecordKv.EditForRefresh: The MemoryRecord is in resEditKv state.",
       [](TTable& T) {
         T.List()->GetRec(0)->Edit();
         T.List()->GetRec(0)->EditForRefresh();
       },
       false},
      {L"Record.RecordsList is not the same.",
       [](TTable& T) {
         TTable Other({{L"Id", ftInteger}});
         std::unique_ptr<TMemoryRecordKv> Foreign(Other.List()->NewRecord());
         T.List()->AddRecord(Foreign.get());
       },
       false},
      {L"The record is already attached to RecordsList.", [](TTable& T) { T.List()->AddRecord(T.List()->GetRec(0)); },
       false},
      {L"Can't MarkDel the Deleted record",
       [](TTable& T) {
         T.List()->SetCachedUpdates(true);
         T.List()->DeleteRecord(0);
         T.List()->DeleteRecord(0);
       },
       false},
      {L"Delete a range of record in CachedUpdates mode is not supported",
       [](TTable& T) {
         T.List()->SetCachedUpdates(true);
         T.List()->DeleteRecords({{0, 0}});
       },
       false},
      {L"TMTDataStructKv", [](TTable& T) { TRecordsListKv Bad(T.Data->GetDataStruct()); }, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(String(C.Text).c_str());
    TTable T({{L"Id", ftInteger}, {L"Name", ftWideString, 10}});
    T.Add({Variant(1), Variant(L"a")});
    try {
      C.Cause(T);
      ADD_FAILURE() << "no error";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), C.Text);
      EXPECT_EQ(dynamic_cast<const EDatabaseError*>(&E) != nullptr, C.Database);
    }
  }
}

TEST(MemTableStructure, AssigningAStructureLaysTheValuesOutAnew) {
  TTable T({{L"Code", ftString, 50}, {L"Qty", ftString, 10}, {L"Gone", ftInteger}});
  T.Add({Variant(L"ABCDEFGHIJKLMNOP"), Variant(L"12"), Variant(1)});
  T.Add({Variant(L"short"), Variant(L"on iki"), Variant(2)});

  std::unique_ptr<TMTDataStructKv> New(T.Data->GetDataStruct()->GetCopy());
  New->GetDataField(0)->SetSize(10);
  New->ChangeFieldType(L"Qty", TMTNumericDataFieldKv::StaticClass())->AssignDataType(ftInteger);
  New->RemoveField(New->GetDataField(2));
  New->BuildDataFieldForDef(L"Added", ftFloat, 0, 0);
  T.Data->GetDataStruct()->Assign(New.get());

  TMTDataStructKv* S = T.Data->GetDataStruct();
  ASSERT_EQ(S->GetCount(), 3);
  EXPECT_EQ(S->GetDataField(1)->GetDataType(), ftInteger);
  EXPECT_EQ(S->GetDataField(1)->GetAlignment(), taRightJustify);
  EXPECT_EQ(VarToStr(T.At(0, 0)), L"ABCDEFGHIJ");
  EXPECT_EQ(T.At(0, 1).AsInteger(), 12);
  EXPECT_TRUE(T.At(1, 1).IsNull());
  EXPECT_TRUE(T.At(0, 2).IsNull());
  EXPECT_EQ(VarToStr(T.At(1, 0)), L"short");
}

// Values follow their fields when the structure changes under the records: a field added reads
// Null, one removed takes its values with it, one moved or retyped keeps them (converted), and a
// record made before the change and posted after it gets the new layout too.
TEST(MemTableStructure, ValuesFollowTheirFieldsThroughStructureChanges) {
  TTable T({{L"Id", ftInteger}, {L"Name", ftWideString, 10}, {L"Qty", ftWideString, 10}});
  T.Add({Variant(1), Variant(L"bir"), Variant(L"12")});
  T.Add({Variant(2), Variant(L"iki"), Variant(L"x")});
  TMemoryRecordKv* Pending = T.List()->NewRecord();
  Pending->SetDataValue(0, dvvValueKv, Variant(3));
  Pending->SetDataValue(1, dvvValueKv, Variant(L"üç"));
  T.List()->GetRec(1)->Edit();
  T.List()->GetRec(1)->SetDataValue(1, dvvValueKv, Variant(L"İKİ"));
  TMTDataStructKv* S = T.Data->GetDataStruct();
  TMTIndexKv* Index = T.List()->GetIndexes()->Add();
  Index->SetFields(L"Name");
  Index->SetActive(true);

  S->BuildDataFieldForDef(L"Note", ftMemo, 0, 0);
  S->GetDataField(0)->SetIndex(2);  // Name, Qty, Id, Note
  S->ChangeFieldType(L"Qty", TMTNumericDataFieldKv::StaticClass());
  S->FindField(L"Qty")->AssignDataType(ftInteger);
  S->RemoveField(S->FindField(L"Note"));
  S->BuildDataFieldForDef(L"Born", ftDate, 0, 0);  // Name, Qty, Id, Born
  T.List()->AddRecord(Pending);
  auto Row = [&](Integer R) {
    String Text;
    for (Integer F = 0; F < S->GetCount(); ++F)
      Text += (F ? L"," : L"") + VarToStr(T.List()->GetRec(R)->GetDataValue(F, dvvValueKv));
    return Text;
  };
  EXPECT_EQ(Row(0), L"bir,12,1,");
  EXPECT_EQ(Row(1), L"İKİ,,2,");  // "x" is no number; the edit is still open
  EXPECT_EQ(VarToStr(T.List()->GetRec(1)->GetDataValue(0, dvvCurValueKv)), L"iki");
  EXPECT_EQ(Row(2), L"üç,,3,");
  EXPECT_EQ(VarType(T.List()->GetRec(0)->GetDataValue(1, dvvValueKv)), varInteger);
  T.List()->GetRec(1)->Cancel();
  EXPECT_EQ(Row(1), L"iki,,2,");
  // The index follows the values it finds anew.
  for (const wchar_t* Name : {L"bir", L"iki", L"üç"}) {
    Integer At = -1;
    EXPECT_TRUE(Index->FindRecordIndexByKey(Variant(Name), At)) << Name;
    EXPECT_EQ(VarToStr(T.List()->GetRec(At)->GetDataValue(0, dvvValueKv)), Name);
  }
}

TEST(MemTableStructure, CommittingARestructureAppliesIt) {
  TTable T({{L"Id", ftInteger}});
  T.Add({Variant(7)});
  TMTDataStructKv* New = T.Data->BeginRestruct();
  EXPECT_THROW(T.Data->BeginRestruct(), Exception);
  New->BuildDataFieldForDef(L"Name", ftWideString, 20, 0);
  T.Data->CommitRestruct();
  ASSERT_EQ(T.Data->GetDataStruct()->GetCount(), 2);
  EXPECT_EQ(T.At(0, 0).AsInteger(), 7);
  EXPECT_TRUE(T.At(0, 1).IsNull());
  EXPECT_FALSE(T.Data->GetRestructMode());
}

// ---- Records ------------------------------------------------------------------------------------

TEST(MemTableRecord, ValueVersionsThroughEditPostAndCancel) {
  TTable T({{L"V", ftInteger}});
  TMemoryRecordKv* R = T.Add({Variant(1)});
  auto Read = [&](TDataValueVersionKv V) -> String {
    try {
      return VarToStr(R->GetDataValue(0, V));
    } catch (const Exception&) {
      return L"error";
    }
  };
  struct TStep {
    const char* Action;
    const wchar_t* Value;
    const wchar_t* Cur;
    const wchar_t* Edit;
    const wchar_t* Oldest;
    TRecordEditStateKv State;
  } Steps[] = {
      {"edit", L"1", L"1", L"1", L"1", resEditKv},
      {"set 2", L"2", L"1", L"2", L"1", resEditKv},
      {"edit", L"2", L"1", L"2", L"1", resEditKv},  // a second Edit keeps the first copy
      {"cancel", L"1", L"1", L"error", L"1", resBrowseKv},
      {"edit", L"1", L"1", L"1", L"1", resEditKv},
      {"set 3", L"3", L"1", L"3", L"1", resEditKv},
      {"post", L"3", L"3", L"error", L"3", resBrowseKv},
  };
  for (const TStep& S : Steps) {
    SCOPED_TRACE(S.Action);
    std::string A = S.Action;
    if (A == "edit") R->Edit();
    else if (A == "cancel") R->Cancel();
    else if (A == "post") R->Post();
    else R->SetDataValue(0, dvvValueKv, Variant(A.back() - '0'));
    EXPECT_EQ(Read(dvvValueKv), S.Value);
    EXPECT_EQ(Read(dvvCurValueKv), S.Cur);
    EXPECT_EQ(Read(dvvEditValueKv), S.Edit);
    EXPECT_EQ(Read(dvvOldestValue), S.Oldest);
    EXPECT_EQ(R->EditState(), S.State);
  }
  EXPECT_THROW(R->Post(), EDatabaseError);
  EXPECT_THROW(R->Cancel(), EDatabaseError);
  EXPECT_THROW(R->GetDataValue(0, dvvOldValueKv), Exception);
  EXPECT_THROW(R->GetDataValue(1, dvvValueKv), EListError);
}

TEST(MemTableRecord, SeveralValuesByNamesAndIndexes) {
  TTable T({{L"A", ftInteger}, {L"B", ftWideString, 10}});
  TMemoryRecordKv* R = T.Add({Variant(1), Variant(L"x")});
  const Variant Both = R->GetDataValues(L"B;A", dvvValueKv);
  EXPECT_EQ(VarArrayLowBound(Both, 1), 0);
  EXPECT_EQ(VarArrayHighBound(Both, 1), 1);
  EXPECT_EQ(VarToStr(Both[0]), L"x");
  EXPECT_EQ(Both[1].AsInteger(), 1);
  R->SetDataValues(L"A;B", dvvValueKv, VarArrayOf({Variant(5), Variant(L"y")}));
  EXPECT_EQ(VarToStr(R->GetDataIndexValues({1}, dvvValueKv)), L"y");
  EXPECT_EQ(Variant(R->GetDataIndexValues({0, 1}, dvvValueKv)[0]).AsInteger(), 5);
  for (const wchar_t* Bad : {L"C", L"A;C"}) {
    EXPECT_THROW(R->GetDataValues(Bad, dvvValueKv), EDatabaseError) << Bad;
    EXPECT_THROW(R->SetDataValues(Bad, dvvValueKv, Variant(1)), EDatabaseError) << Bad;
  }
}

TEST(MemTableRecord, CachedUpdateStatusThroughEditsDeletesAndReverts) {
  TTable T({{L"V", ftInteger}});
  TRecordsListKv* L = T.List();
  TMemoryRecordKv* R = T.Add({Variant(1)});
  L->SetCachedUpdates(true);
  for (Integer V : {2, 3}) {
    R->Edit();
    R->SetDataValue(0, dvvValueKv, Variant(V));
    R->Post();
  }
  EXPECT_EQ(R->GetUpdateStatus(), usModified);
  EXPECT_EQ(R->GetDataValue(0, dvvOldValueKv).AsInteger(), 1);
  EXPECT_EQ(L->GetDeltaList()->GetCount(), 1);
  // Deleting a modified record keeps its original values: cancelling gives them back.
  L->DeleteRecord(0);
  EXPECT_EQ(R->GetUpdateStatus(), usDeleted);
  EXPECT_EQ(L->GetCount(), 1);
  L->CancelUpdates();
  EXPECT_EQ(R->GetUpdateStatus(), usUnmodified);
  EXPECT_EQ(T.At(0, 0).AsInteger(), 1);
  EXPECT_FALSE(L->HasCachedChanges());

  // An inserted record edited under cached updates stays inserted with no old values.
  TMemoryRecordKv* N = T.Add({Variant(9)});
  EXPECT_EQ(N->GetUpdateStatus(), usInserted);
  N->Edit();
  N->SetDataValue(0, dvvValueKv, Variant(10));
  N->Post();
  EXPECT_EQ(N->GetUpdateStatus(), usInserted);
  EXPECT_TRUE(N->GetOldData().empty());
  // Inserted then deleted: nothing is left to apply.
  L->DeleteRecord(1);
  EXPECT_EQ(L->GetCount(), 1);
  EXPECT_FALSE(L->HasCachedChanges());
  EXPECT_THROW(L->DeleteRecords({{0, 0}}), Exception);

  // Posting a refresh changes no status even under cached updates.
  R->EditForRefresh();
  R->SetDataValue(0, dvvValueKv, Variant(4));
  R->Post();
  EXPECT_EQ(R->GetUpdateStatus(), usUnmodified);
  EXPECT_FALSE(L->HasCachedChanges());
  R->Edit();
  EXPECT_THROW(R->EditForRefresh(), Exception);
  R->Cancel();
}

TEST(MemTableRecord, CancelUpdatesRestoresTheFormerRecordsInOrder) {
  TTable T({{L"V", ftInteger}});
  TRecordsListKv* L = T.List();
  for (Integer V : {1, 2, 3}) T.Add({Variant(V)});
  L->SetCachedUpdates(true);
  T.Add({Variant(4)});
  TMemoryRecordKv* Two = L->GetRec(1);
  Two->Edit();
  Two->SetDataValue(0, dvvValueKv, Variant(20));
  Two->Post();
  L->DeleteRecord(2);
  EXPECT_THROW(L->DeleteRecord(2), Exception);
  L->CancelUpdates();
  ASSERT_EQ(L->GetCount(), 3);
  for (Integer I = 0; I < 3; ++I) {
    EXPECT_EQ(T.At(I, 0).AsInteger(), I + 1);
    EXPECT_EQ(L->GetRec(I)->GetIndex(), I);
    EXPECT_EQ(L->GetRec(I)->GetUpdateStatus(), usUnmodified);
  }
}

TEST(MemTableRecord, RevertAndRefreshThroughTheList) {
  TTable T({{L"V", ftInteger}});
  TRecordsListKv* L = T.List();
  T.Add({Variant(1)});
  L->SetCachedUpdates(true);
  T.Add({Variant(2)});
  L->RevertRecord(1);  // an insertion reverted is gone
  EXPECT_EQ(L->GetCount(), 1);
  TMemoryRecordKv* R = L->GetRec(0);
  R->Edit();
  R->SetDataValue(0, dvvValueKv, Variant(5));
  R->Post();
  // A refresh of a modified record replaces the values it had before the change, not the change.
  std::unique_ptr<TMemoryRecordKv> Fresh(L->NewRecord());
  Fresh->SetDataValue(0, dvvValueKv, Variant(9));
  L->RefreshRecord(0, Fresh.get());
  EXPECT_EQ(R->GetDataValue(0, dvvValueKv).AsInteger(), 5);
  EXPECT_EQ(R->GetDataValue(0, dvvRefreshValue).AsInteger(), 9);
  L->RevertRecord(0);
  EXPECT_EQ(R->GetDataValue(0, dvvValueKv).AsInteger(), 9);
  EXPECT_EQ(R->GetUpdateStatus(), usUnmodified);
  L->MergeChangeLog();
  EXPECT_FALSE(L->HasCachedChanges());
  L->CleanupChangedRecs();
  EXPECT_EQ(L->GetDeltaList()->GetCount(), 0);
}

TEST(MemTableRecord, MergingTheChangeLogRemovesDeletedRecords) {
  TTable T({{L"V", ftInteger}});
  TRecordsListKv* L = T.List();
  for (Integer V : {1, 2, 3, 4}) T.Add({Variant(V)});
  L->SetCachedUpdates(true);
  TRecorder Rec(T.Data);
  L->DeleteRecord(1);
  L->DeleteRecord(2);
  EXPECT_EQ(Rec.Log, (Lines{L"MarkedForDel 1 2", L"MarkedForDel 2 3"}));
  Rec.Log.clear();
  L->MergeChangeLog();
  EXPECT_EQ(Rec.Log, (Lines{L"ListChanged -1"}));
  ASSERT_EQ(L->GetCount(), 2);
  EXPECT_EQ(T.At(1, 0).AsInteger(), 4);
  EXPECT_EQ(L->GetRec(1)->GetIndex(), 1);
  EXPECT_EQ(L->GetDeltaList()->GetCount(), 0);

  L->DeleteRecord(0);
  Rec.Log.clear();
  L->MergeChangeLog();
  EXPECT_EQ(Rec.Log, (Lines{L"Deleting 0 1", L"Deleted 0 1"}));
  EXPECT_EQ(L->GetCount(), 1);
}

// Positions against a plain vector through random insertions, deletions (one by one and in
// ranges), moves and sorts over thousands of records: every record at its position, and each
// position found from the record.
TEST(MemTableRecordsList, PositionsStayRightThroughARandomRunOfChanges) {
  TTable T({{L"Id", ftInteger}});
  TRecordsListKv* L = T.List();
  std::vector<TMemoryRecordKv*> Expected;
  std::mt19937 Rng(1402);
  auto Rand = [&](Integer N) { return Integer(Rng() % unsigned(N)); };
  Integer Next = 0;
  auto Check = [&] {
    ASSERT_EQ(L->GetCount(), Integer(Expected.size()));
    for (Integer I = 0; I < L->GetCount(); ++I) {
      ASSERT_EQ(L->GetRec(I), Expected[size_t(I)]) << I;
      ASSERT_EQ(Expected[size_t(I)]->GetIndex(), I) << I;
    }
    // Out of order too: the walk in order has a shortcut of its own.
    for (Integer K = 0; K < 200 && !Expected.empty(); ++K) {
      Integer I = Rand(Integer(Expected.size()));
      ASSERT_EQ(L->GetRec(I), Expected[size_t(I)]);
      ASSERT_EQ(L->IndexOf(Expected[size_t(I)]), I);
    }
  };
  for (Integer Step = 0; Step < 6000; ++Step) {
    Integer Count = L->GetCount();
    switch (Count < 50 ? 0 : Rand(10)) {
      case 0: case 1: case 2: {
        TMemoryRecordKv* R = L->NewRecord();
        R->SetDataValue(0, dvvValueKv, Variant(Next++));
        Integer At = Rand(Count + 1);
        L->InsertRecord(At, R);
        Expected.insert(Expected.begin() + At, R);
        break;
      }
      case 3: T.Add({Variant(Next++)}); Expected.push_back(L->GetRec(Count)); break;
      case 4: case 5: {
        // Deletions from one place thin the chunks there out.
        Integer At = Rand(4) == 0 ? Rand(Count) : Count / 2;
        L->DeleteRecord(At);
        Expected.erase(Expected.begin() + At);
        break;
      }
      case 6: {
        Integer From = Rand(Count), To = Rand(Count);
        L->Move(From, To);
        TMemoryRecordKv* R = Expected[size_t(From)];
        Expected.erase(Expected.begin() + From);
        Expected.insert(Expected.begin() + To, R);
        break;
      }
      case 7: {
        Integer Low = Rand(Count - 20), High = Low + Rand(20);
        L->DeleteRecords({{Low, High}});
        Expected.erase(Expected.begin() + Low, Expected.begin() + High + 1);
        break;
      }
      case 8:
        if (Rand(50) == 0) {
          auto ById = [](TMemoryRecordKv* A, TMemoryRecordKv* B, TObject*) {
            return A->GetDataValue(0, dvvValueKv).AsInteger() - B->GetDataValue(0, dvvValueKv).AsInteger();
          };
          L->SortData(ById, nullptr);
          std::sort(Expected.begin(), Expected.end(), [](TMemoryRecordKv* A, TMemoryRecordKv* B) {
            return A->GetDataValue(0, dvvValueKv).AsInteger() < B->GetDataValue(0, dvvValueKv).AsInteger();
          });
        }
        break;
      default:
        break;
    }
    if (Step % 500 == 0) Check();
  }
  Check();
  std::vector<UInt64> Ids;
  for (TMemoryRecordKv* R : Expected) Ids.push_back(R->GetHashCode());
  std::sort(Ids.begin(), Ids.end());
  EXPECT_EQ(std::adjacent_find(Ids.begin(), Ids.end()), Ids.end());  // identities are never shared
}

// ---- Notifications ------------------------------------------------------------------------------

TEST(MemTableRecordsList, NotificationsArriveInOrder) {
  TTable T({{L"V", ftInteger}});
  TRecordsListKv* L = T.List();
  TRecorder Rec(T.Data);
  for (Integer V : {1, 2, 3}) T.Add({Variant(V)});
  TMemoryRecordKv* Zero = L->NewRecord();
  Zero->SetDataValue(0, dvvValueKv, Variant(0));
  L->InsertRecord(0, Zero);
  L->GetRec(2)->Edit();
  L->GetRec(2)->SetDataValue(0, dvvValueKv, Variant(22));
  L->GetRec(2)->Post();
  L->SetValue(3, 0, Variant(33));
  L->Move(3, 1);
  L->DeleteRecord(0);
  L->BeginUpdate();
  T.Add({Variant(5)});
  L->DeleteRecord(0);
  L->EndUpdate();
  EXPECT_EQ(Rec.Log, (Lines{L"Adding 0 1", L"Added 0 1", L"Adding 1 2", L"Added 1 2", L"Adding 2 3", L"Added 2 3",
                            L"Adding 0 0", L"Added 0 0", L"Changing 2 22", L"Changed 2 22", L"Changing 3 33",
                            L"Changed 3 33", L"Moved 3 1 33", L"Deleting 0 0", L"Deleted 0 0", L"ListChanged -1"}));
  for (Integer I = 0; I < L->GetCount(); ++I) EXPECT_EQ(L->GetRec(I)->GetIndex(), I);

  Rec.SetDataObject(nullptr);
  EXPECT_EQ(T.Data->NotificatorCount(), 0);
}

TEST(MemTableRecordsList, ForeignAndListedRecordsAreRefused) {
  TTable A({{L"V", ftInteger}}), B({{L"V", ftInteger}});
  TMemoryRecordKv* Listed = A.Add({Variant(1)});
  std::unique_ptr<TMemoryRecordKv> Foreign(B.List()->NewRecord());
  EXPECT_THROW(A.List()->AddRecord(Foreign.get()), Exception);
  EXPECT_THROW(A.List()->AddRecord(Listed), Exception);
  EXPECT_EQ(A.List()->GetCount(), 1);
  TComponent Other(nullptr);
  EXPECT_THROW({ TRecordsListKv Bad(&Other); }, Exception);
}

TEST(MemTableRecordsList, ImmediateApplyHandsEachChangeToTheApplier) {
  TTable T({{L"Id", ftInteger}, {L"Name", ftWideString, 10}});
  TRecordsListNotificatorKv Applier(nullptr);
  Lines Seen;
  bool Fail = false;
  Applier.SetOnApplyUpdates([&](TMemTableDataKv* Shadow) {
    TMemoryRecordKv* R = Shadow->GetRecordsList()->GetRec(0);
    static const wchar_t* Status[] = {L"unmodified", L"modified", L"inserted", L"deleted"};
    Seen.push_back(String(Status[R->GetUpdateStatus()]) + L" " + VarToStr(R->GetDataValue(1, dvvOldestValue)));
    if (Fail) throw Exception(L"server said no");
    if (R->GetUpdateStatus() == usInserted) R->SetDataValue(0, dvvValueKv, Variant(100));
  });
  Applier.SetDataObject(T.Data);
  TMemoryRecordKv* R = T.Add({Null, Variant(L"a")});
  EXPECT_EQ(T.At(0, 0).AsInteger(), 100);  // the applier's key reached the table
  R->Edit();
  R->SetDataValue(1, dvvValueKv, Variant(L"b"));
  R->Post();
  Fail = true;
  R->Edit();
  R->SetDataValue(1, dvvValueKv, Variant(L"c"));
  EXPECT_THROW(R->Post(), Exception);
  EXPECT_EQ(R->EditState(), resEditKv);
  R->Cancel();
  EXPECT_EQ(VarToStr(T.At(0, 1)), L"b");
  EXPECT_THROW(T.List()->DeleteRecord(0), Exception);
  EXPECT_EQ(T.List()->GetCount(), 1);
  Fail = false;
  T.List()->DeleteRecord(0);
  EXPECT_EQ(Seen, (Lines{L"inserted a", L"modified a", L"modified b", L"deleted b", L"deleted b"}));
}

// ---- Indexes ------------------------------------------------------------------------------------

// The entries an index must hold: every live record's key with its position, sorted by key.
std::vector<std::pair<Variant, Integer>> BruteForce(TRecordsListKv* L, Integer Field) {
  std::vector<std::pair<Variant, Integer>> E;
  for (Integer I = 0; I < L->GetCount(); ++I)
    if (L->GetRec(I)->GetUpdateStatus() != usDeleted) E.push_back({L->GetRec(I)->GetDataValue(Field, dvvValueKv), I});
  return E;
}

// The order an index keeps: a Turkish user's texts by the Turkish collation, the rest as compared.
TVariantRelationship IndexOrder(const Variant& A, const Variant& B) {
  std::string KA, KB;
  if (SysLocale.PriLangID == 0x1F && VarIsStr(A) && VarIsStr(B) && TurkishSortKeyKv(A.AsString(), KA) &&
      TurkishSortKeyKv(B.AsString(), KB))
    return KA < KB ? vrLessThan : KA == KB ? vrEqual : vrGreaterThan;
  return DBVarCompareValue(A, B);
}

void ExpectIndexMatches(TMTIndexKv* Index, TRecordsListKv* L, Integer Field) {
  auto Expected = BruteForce(L, Field);
  ASSERT_EQ(Index->GetCount(), Integer(Expected.size()));
  std::vector<Integer> Seen;
  for (Integer I = 0; I < Index->GetCount(); ++I) {
    TIndexItemKv* It = Index->GetItems(I);
    if (I > 0) {
      TVariantRelationship Order = IndexOrder(Index->GetKeyValue(I - 1), It->Value);
      ASSERT_NE(Order, vrGreaterThan) << "unsorted at " << I;
      // Equal keys by position: the entry of a record is found by bisection.
      if (Order == vrEqual) {
        ASSERT_LT(Index->GetItems(I - 1)->RecIndex, It->RecIndex) << "equal keys unsorted at " << I;
      }
    }
    ASSERT_GE(It->RecIndex, 0);
    ASSERT_LT(It->RecIndex, L->GetCount());
    // Each entry's key is its record's key.
    ASSERT_EQ(DBVarCompareValue(It->Value, L->GetRec(It->RecIndex)->GetDataValue(Field, dvvValueKv)), vrEqual);
    Seen.push_back(It->RecIndex);
  }
  std::sort(Seen.begin(), Seen.end());
  std::vector<Integer> All;
  for (auto& P : Expected) All.push_back(P.second);
  EXPECT_EQ(Seen, All);
}

class MemTableIndexRun : public testing::TestWithParam<TFieldType> {};

// Integer keys, and Turkish names (by collation keys under a Turkish user).
INSTANTIATE_TEST_SUITE_P(KeyKinds, MemTableIndexRun, testing::Values(ftInteger, ftWideString));

TEST_P(MemTableIndexRun, StaysCorrectThroughARandomRunOfChanges) {
  bool Text = GetParam() == ftWideString;
  TTable T({{L"Key", GetParam(), 10}, {L"Name", ftWideString, 10}});
  TRecordsListKv* L = T.List();
  TMTIndexKv* Index = L->GetIndexes()->Add();
  Index->SetFields(L"Key");
  Index->SetActive(true);
  std::mt19937 Rng(20240611);
  auto Rand = [&](Integer N) { return Integer(Rng() % unsigned(N)); };
  const String Names[] = {L"Işık", L"ılık", L"İlik", L"ilik", L"Çağrı", L"çağrı", L"Zeynep", L"Ümit", L"ümit", L"Ali"};
  auto MakeKey = [&](Integer K) -> Variant {
    if (!Text) return Variant(K);
    // Every third name long enough for a collation key of more than 15 bytes.
    return Variant(Names[K % 10] + IntToStr(K / 10) + (K % 3 == 0 ? L" Büyükçekmece" : L""));
  };
  for (Integer Step = 0; Step < 3000; ++Step) {
    Integer Count = L->GetCount();
    Variant Key = Rand(10) == 0 ? Null : MakeKey(Rand(200));  // many equal keys and some Nulls
    // Once the index is rebuilt as one long run of entries, which the changes then split.
    if (Step == 1500) L->GetIndexes()->UpdateIndexes();
    switch (Count < 5 ? 0 : Rand(9)) {
      case 0: case 1: T.Add({Key, Variant(L"n")}); break;
      case 2: {
        TMemoryRecordKv* R = L->NewRecord();
        R->SetDataValue(0, dvvValueKv, Key);
        L->InsertRecord(Rand(Count + 1), R);
        break;
      }
      case 3: {
        TMemoryRecordKv* R = L->GetRec(Rand(Count));
        R->Edit();
        R->SetDataValue(0, dvvValueKv, Key);
        if (Rand(4) == 0) {
          R->Cancel();
        } else {
          R->Post();
        }
        break;
      }
      case 4: L->SetValue(Rand(Count), 0, Key); break;
      case 5: L->Move(Rand(Count), Rand(Count)); break;
      case 6: L->DeleteRecord(Rand(Count)); break;
      case 7: {
        // A refresh writes the values without announcing the change beforehand.
        TMemoryRecordKv* R = L->GetRec(Rand(Count));
        R->EditForRefresh();
        R->SetDataValue(0, dvvValueKv, Key);
        R->Post();
        break;
      }
      case 8: {
        // Deleted while an edit is open: the index holds the key from before the edit.
        Integer At = Rand(Count);
        L->GetRec(At)->Edit();
        L->GetRec(At)->SetDataValue(0, dvvValueKv, Key);
        L->DeleteRecord(At);
        break;
      }
    }
    if (Step % 250 == 0) ExpectIndexMatches(Index, L, 0);
  }
  ExpectIndexMatches(Index, L, 0);
  // Lookups agree with the entries.
  for (Integer K = 0; K < 200; K += 7) {
    TList Recs;
    Index->FillMatchedRecsList(MakeKey(K), &Recs);
    Integer Expected = 0;
    for (Integer I = 0; I < L->GetCount(); ++I)
      if (!T.At(I, 0).IsNull() && VarToStr(T.At(I, 0)) == VarToStr(MakeKey(K))) ++Expected;
    EXPECT_EQ(Recs.GetCount(), Expected) << K;
  }
  L->DeleteRecords({{0, 2}, {5, 9}});
  ExpectIndexMatches(Index, L, 0);
  L->SortData([](TMemoryRecordKv* A, TMemoryRecordKv* B, TObject*) {
    return Integer(DBVarCompareValue(B->GetDataValue(0, dvvValueKv), A->GetDataValue(0, dvvValueKv)) == vrLessThan) -
           Integer(DBVarCompareValue(B->GetDataValue(0, dvvValueKv), A->GetDataValue(0, dvvValueKv)) == vrGreaterThan);
  }, nullptr);
  ExpectIndexMatches(Index, L, 0);
}

// Keeping an index moves the entries near a change only: appending records with keys in random
// order, or changing keys, moves a bounded number of entries each however long the index is (a
// single sorted list would shift half of itself per insertion). Appends renumber nobody.
TEST(MemTableIndex, AChangeMovesFewEntriesHoweverLongTheIndex) {
  const Integer N = 10000;
  for (TFieldType Type : {ftInteger, ftWideString}) {
    SCOPED_TRACE(FieldTypeNames[Type]);
    TTable T({{L"Key", Type, 10}});
    TRecordsListKv* L = T.List();
    TMTIndexKv* Index = L->GetIndexes()->Add();
    Index->SetFields(L"Key");
    Index->SetActive(true);
    std::mt19937 Rng(7);
    // Many records share a key.
    auto Key = [&] {
      Integer K = Integer(Rng() % 3000);
      return Type == ftInteger ? Variant(K) : Variant(L"ad" + IntToStr(K));
    };
    for (Integer I = 0; I < N; ++I) T.Add({Key()});
    Int64 Added = Index->GetEntryMoves();
    for (Integer I = 0; I < N; ++I) L->SetValue(Integer(Rng() % unsigned(N)), 0, Key());
    Int64 Changed = Index->GetEntryMoves() - Added;
    // Rebuilt, the index is one long list again: the first change splits it, once.
    L->GetIndexes()->UpdateIndexes();
    Int64 Rebuilt = Index->GetEntryMoves();
    for (Integer I = 0; I < 1000; ++I) L->SetValue(Integer(Rng() % unsigned(N)), 0, Key());
    Int64 AfterRebuild = Index->GetEntryMoves() - Rebuilt;
    // About 100 an insertion and 170 a change here; a single list would shift thousands.
    EXPECT_LT(Added, 300 * Int64(N));
    EXPECT_LT(Changed, 600 * Int64(N));
    EXPECT_LT(AfterRebuild, N + 600 * 1000);
    ExpectIndexMatches(Index, L, 0);
  }
}

TEST(MemTableIndex, CachedDeletesAndRevertsKeepTheIndex) {
  TTable T({{L"Key", ftInteger}});
  TRecordsListKv* L = T.List();
  TMTIndexKv* Index = L->GetIndexes()->Add();
  Index->SetFields(L"Key");
  Index->SetActive(true);
  for (Integer V : {3, 1, 2, 1}) T.Add({Variant(V)});
  L->SetCachedUpdates(true);
  L->DeleteRecord(1);
  ExpectIndexMatches(Index, L, 0);
  L->RevertRecord(1);
  ExpectIndexMatches(Index, L, 0);
  L->DeleteRecord(3);
  L->GetRec(0)->Edit();
  L->GetRec(0)->SetDataValue(0, dvvValueKv, Variant(0));
  L->GetRec(0)->Post();
  T.Add({Variant(7)});
  L->MergeChangeLog();
  ExpectIndexMatches(Index, L, 0);
  EXPECT_EQ(L->GetCount(), 4);
}

// Changes of key values nobody announces beforehand (a value written to a browsed record, a
// refresh posted or cancelled, another record's values taken, a calculated key, records put in
// place with SetRec) leave the index in order, every record found under its key.
TEST(MemTableIndex, FollowsChangesNobodyAnnounces) {
  struct TCase {
    const char* Name;
    std::function<void(TTable&)> Change;
  } Cases[] = {
      {"written", [](TTable& T) { T.List()->GetRec(2)->SetDataValue(0, dvvValueKv, Variant(-5)); }},
      {"refresh posted",
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->GetRec(1);
         R->EditForRefresh();
         R->SetDataValue(0, dvvValueKv, Variant(99));
         R->Post();
       }},
      {"refresh cancelled",
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->GetRec(3);
         R->EditForRefresh();
         R->SetDataValue(0, dvvValueKv, Variant(-1));
         R->Cancel();
       }},
      {"refreshed from another", [](TTable& T) { T.List()->RefreshRecord(0, T.List()->GetRec(4)); }},
      {"calculated",
       [](TTable& T) {
         T.Data->SetOnFieldCalculation([](TMemoryRecordKv* Rec, TVariantArrayKv& Values) {
           Values[1] = Variant(100 - Rec->GetDataValue(0, dvvValueKv).AsInteger());
         });
       }},
      {"put in place",
       [](TTable& T) {
         TMemoryRecordKv* A = T.List()->GetRec(0);
         TMemoryRecordKv* B = T.List()->GetRec(4);
         T.List()->SetRec(0, B);
         T.List()->SetRec(4, A);
       }},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TTable T({{L"Key", ftInteger}, {L"Calc", ftInteger}});
    T.Data->GetDataStruct()->GetDataField(1)->SetCalculated(true);
    for (Integer V : {30, 10, 50, 20, 40, 10}) T.Add({Variant(V), Null});
    TMTIndexKv* Keys[2];
    for (Integer F = 0; F < 2; ++F) {
      Keys[F] = T.List()->GetIndexes()->Add();
      Keys[F]->SetFields(F ? L"Calc" : L"Key");
      Keys[F]->SetActive(true);
    }
    C.Change(T);
    for (Integer F = 0; F < 2; ++F) {
      SCOPED_TRACE(F);
      ExpectIndexMatches(Keys[F], T.List(), F);
      for (Integer I = 0; I < T.List()->GetCount(); ++I) {
        Integer At = -1;
        ASSERT_TRUE(Keys[F]->FindRecordIndexByKey(T.At(I, F), At));
        EXPECT_EQ(DBVarCompareValue(T.At(At, F), T.At(I, F)), vrEqual);
      }
    }
  }
}

TEST(MemTableIndex, LookupsByBisection) {
  TTable T({{L"Code", ftInteger}, {L"Name", ftWideString, 10}});
  for (Integer V : {30, 10, 20}) T.Add({Variant(V), Variant(L"n" + IntToStr(V))});
  TMTIndexKv* Index = T.List()->GetIndexes()->Add();
  Index->SetFields(L"Code");
  Index->SetActive(true);
  struct {
    Integer Key;
    bool Found;
    Integer Pos;
  } Cases[] = {{5, false, 0}, {10, true, 0}, {25, false, 2}, {30, true, 2}, {99, false, 3}};
  for (auto& C : Cases) {
    Integer P = -1;
    EXPECT_EQ(Index->FindKeyValueIndex(Variant(C.Key), P), C.Found) << C.Key;
    EXPECT_EQ(P, C.Pos) << C.Key;
  }
  Integer Rec = -1;
  EXPECT_TRUE(Index->FindRecordIndexByKey(Variant(20), Rec));
  EXPECT_EQ(Rec, 2);
  // Deleting the record at position 0 moves every other entry down.
  T.List()->DeleteRecord(0);
  EXPECT_TRUE(Index->FindRecordIndexByKey(Variant(20), Rec));
  EXPECT_EQ(Rec, 1);

  TMTIndexKv* Two = T.List()->GetIndexes()->Add();
  Two->SetFields(L"Code;Name");
  Two->SetActive(true);
  EXPECT_EQ(T.List()->GetIndexes()->GetIndexForFields(L"code;name"), Two);
  Integer P = 0;
  try {
    Two->FindKeyValueIndex(Variant(10), P);
    FAIL() << "a single value was compared with a two-field key";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"TMTIndexKv.FindKeyValueIndex: values is not comparable.");
  }
}

// Any text has a collation key: names with a hyphen, an apostrophe, accents or a character beyond
// the BMP keep a Turkish index on the Turkish order (ı before i, where Wine's comparison differs),
// and every record is still found.
TEST(MemTableIndex, AnyTextKeepsTheIndexInItsOrder) {
  TTable T({{L"Name", ftWideString, 20}});
  const wchar_t* Names[] = {L"Işık", L"ılık", L"İlik", L"ilik", L"Irmak", L"ırmak", L"Çağrı", L"ışık", L"iğne", L"İğne"};
  for (const wchar_t* N : Names) T.Add({Variant(N)});
  TMTIndexKv* Index = T.List()->GetIndexes()->Add();
  Index->SetFields(L"Name");
  Index->SetActive(true);
  for (const wchar_t* N : {L"Ayşe-Nur", L"O'Neil", L"Élodie", L"A.Ş.", L"ilik\U0001F600", L"co\u0327k"}) T.Add({Variant(N)});
  TMemoryRecordKv* R = T.List()->GetRec(3);
  R->Edit();
  R->SetDataValue(0, dvvValueKv, Variant(L"ılgın"));
  R->Post();
  for (Integer I = 1; I < Index->GetCount(); ++I)
    EXPECT_NE(IndexOrder(Index->GetKeyValue(I - 1), Index->GetKeyValue(I)), vrGreaterThan) << I;
  for (Integer I = 0; I < T.List()->GetCount(); ++I) {
    Integer At = -1;
    EXPECT_TRUE(Index->FindRecordIndexByKey(T.At(I, 0), At)) << VarToStr(T.At(I, 0)).c_str();
    EXPECT_EQ(VarToStr(T.At(At, 0)), VarToStr(T.At(I, 0)));
  }
}

// Everything an observer can see of a table: values, positions, statuses, and every index's entries.
String Snapshot(TTable& T) {
  String S;
  TRecordsListKv* L = T.List();
  for (Integer I = 0; I < L->GetCount(); ++I) {
    TMemoryRecordKv* R = L->GetRec(I);
    S += IntToStr(R->GetIndex()) + L":" + IntToStr(Integer(R->GetUpdateStatus())) + L":" + IntToStr(R->EditState());
    for (Integer F = 0; F < T.Data->GetDataStruct()->GetCount(); ++F) S += L"," + VarToStr(R->GetDataValue(F, dvvValueKv));
    S += L";";
  }
  for (Integer X = 0; X < L->GetIndexes()->GetCount(); ++X) {
    TMTIndexKv* Index = L->GetIndexes()->GetItems(X);
    S += L"|";
    for (Integer I = 0; I < Index->GetCount(); ++I)
      S += (VarIsArray(Index->GetKeyValue(I)) ? VarArrayToStrKv(Index->GetKeyValue(I)) : VarToStr(Index->GetKeyValue(I))) +
           L"@" + IntToStr(Index->GetItems(I)->RecIndex) + L" ";
  }
  S += L"|delta " + IntToStr(L->GetDeltaList()->GetCount()) + L" next " + IntToStr(T.Data->GetAutoIncrement()->GetCurValue());
  return S;
}

TEST(MemTableIndex, UniqueViolationsLeaveEverythingAsItWas) {
  struct TCase {
    const char* Name;
    bool Cached;
    std::function<void(TTable&)> Change;
    // Runs before the snapshot: what makes the change a duplicate.
    std::function<void(TTable&)> Prepare = nullptr;
  } Cases[] = {
      {"add", false, [](TTable& T) { T.Add({Null, Variant(2), Variant(L"x")}); }},
      {"insert", false,
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->NewRecord();
         R->SetDataValue(1, dvvValueKv, Variant(1));
         try {
           T.List()->InsertRecord(0, R);
         } catch (...) {
           delete R;
           throw;
         }
       }},
      {"post", false,
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->GetRec(2);
         R->Edit();
         R->SetDataValue(1, dvvValueKv, Variant(2));
         try {
           R->Post();
         } catch (...) {
           R->Cancel();
           throw;
         }
       }},
      {"cached post", true,
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->GetRec(2);
         R->Edit();
         R->SetDataValue(1, dvvValueKv, Variant(1));
         try {
           R->Post();
         } catch (...) {
           R->Cancel();
           throw;
         }
       }},
      {"set value", false, [](TTable& T) { T.List()->SetValue(0, 1, Variant(3)); }},
      {"null key", false, [](TTable& T) { T.Add({Null, Null, Variant(L"z")}); }},
      // A reverted change brings back a key that another record took meanwhile.
      {"revert a change", true, [](TTable& T) { T.List()->RevertRecord(2); },
       [](TTable& T) {
         TMemoryRecordKv* R = T.List()->GetRec(2);
         R->Edit();
         R->SetDataValue(1, dvvValueKv, Variant(7));
         R->Post();
         T.Add({Null, Variant(3), Variant(L"c")});
       }},
      {"revert a deletion", true, [](TTable& T) { T.List()->RevertRecord(0); },
       [](TTable& T) {
         T.List()->DeleteRecord(0);
         T.Add({Null, Variant(1), Variant(L"a")});
       }},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TTable T({{L"Id", ftAutoInc}, {L"Code", ftInteger}, {L"Name", ftWideString, 10}});
    TMTIndexKv* Code = T.List()->GetIndexes()->Add();
    Code->SetFields(L"Code");
    Code->SetUnique(true);
    Code->SetActive(true);
    TMTIndexKv* Name = T.List()->GetIndexes()->Add();
    Name->SetFields(L"Name;Code");
    Name->SetPrimary(true);
    Name->SetActive(true);
    T.Add({Null, Variant(1), Variant(L"a")});
    T.Add({Null, Variant(2), Variant(L"b")});
    T.Add({Null, Variant(3), Variant(L"c")});
    T.Add({Null, Null, Variant(L"n")});
    T.List()->SetCachedUpdates(C.Cached);
    if (C.Prepare) C.Prepare(T);
    TRecorder Rec(T.Data);
    String Before = Snapshot(T);
    try {
      C.Change(T);
      FAIL() << "the duplicate was accepted";
    } catch (const EUniqueKeyViolationKv& E) {
      EXPECT_EQ(E.Message().rfind(L"Unique key violation \r\n FieldNames: ", 0), 0u) << E.Message().c_str();
    }
    // The counter may have moved for a refused add (it is not given back), nothing else.
    String After = Snapshot(T);
    EXPECT_EQ(After.substr(0, After.rfind(L" next ")), Before.substr(0, Before.rfind(L" next ")));
    for (const String& Line : Rec.Log) EXPECT_EQ(Line.find(L"Added"), String::npos) << Line.c_str();
  }
}

TEST(MemTableIndex, ViolationMessageAndNullKeys) {
  TTable T({{L"Code", ftInteger}, {L"Name", ftWideString, 10}});
  T.Add({Variant(1), Variant(L"a")});
  T.Add({Null, Variant(L"b")});
  T.Add({Null, Variant(L"c")});
  TMTIndexKv* Code = T.List()->GetIndexes()->Add();
  Code->SetFields(L"Code");
  Code->SetUnique(true);
  Code->SetActive(true);  // two Null codes are accepted by a rebuild
  EXPECT_EQ(Code->GetCount(), 3);
  EXPECT_THROW(T.Add({Null, Variant(L"d")}), EUniqueKeyViolationKv);

  TMTIndexKv* Both = T.List()->GetIndexes()->Add();
  Both->SetFields(L"Code;Name");
  Both->SetUnique(true);
  Both->SetActive(true);
  try {
    T.Add({Variant(1), Variant(L"a")});
    FAIL();
  } catch (const EUniqueKeyViolationKv& E) {
    EXPECT_EQ(E.FieldNames, L"Code");  // the single-field index refuses first
    EXPECT_EQ(E.Message(), L"Unique key violation \r\n FieldNames: Code\r\n Value: \"1\"");
  }
  Code->SetActive(false);
  try {
    T.Add({Variant(1), Variant(L"a")});
    FAIL();
  } catch (const EUniqueKeyViolationKv& E) {
    EXPECT_EQ(E.Message(), L"Unique key violation \r\n FieldNames: Code;Name\r\n Value: \"[1, a]\"");
  }
}

// ---- The storage object -------------------------------------------------------------------------

TEST(MemTableStorage, AutoIncrementValues) {
  TTable T({{L"Id", ftAutoInc}, {L"No", ftInteger}, {L"Name", ftWideString, 5}});
  T.Data->GetDataStruct()->GetDataField(1)->SetAutoIncrement(true);
  T.Add({Null, Null, Variant(L"a")});
  T.Add({Null, Null, Variant(L"b")});
  EXPECT_EQ(T.At(0, 0).AsInteger(), -1);
  EXPECT_EQ(T.At(0, 1).AsInteger(), -1);
  EXPECT_EQ(T.At(1, 0).AsInteger(), -2);
  TMemoryRecordKv* Fetched = T.List()->NewRecord();
  T.List()->FetchRecord(Fetched);
  EXPECT_TRUE(T.At(2, 0).IsNull());
  EXPECT_EQ(T.Data->GetAutoIncrement()->GetCurValue(), -3);

  TAutoIncrementKv Counter;
  Counter.SetStep(1);
  Counter.SetInitValue(100);
  EXPECT_EQ(Counter.Promote(), 100);
  EXPECT_EQ(Counter.Promote(), 101);
  Counter.SetInitValue(5);
  EXPECT_EQ(Counter.Promote(), 102);
}

TEST(MemTableStorage, CalculatedFieldsAreComputedOnAddAndChange) {
  TTable T({{L"Qty", ftInteger}, {L"Twice", ftInteger}, {L"Left", ftInteger}});
  T.Data->GetDataStruct()->GetDataField(1)->SetCalculated(true);
  T.Data->GetDataStruct()->GetDataField(2)->SetCalculated(true);
  T.Add({Variant(2)});
  T.Data->SetOnFieldCalculation([](TMemoryRecordKv* Rec, TVariantArrayKv& Values) {
    Values[1] = Rec->GetDataValue(0, dvvValueKv) * Variant(2);
  });
  EXPECT_EQ(T.At(0, 1).AsInteger(), 4);
  EXPECT_TRUE(T.At(0, 2).IsNull());  // left Empty by the handler
  T.Add({Variant(5)});
  EXPECT_EQ(T.At(1, 1).AsInteger(), 10);
  T.List()->SetValue(1, 0, Variant(6));
  EXPECT_EQ(T.At(1, 1).AsInteger(), 12);
}

TEST(MemTableStorage, EmptinessAndDestructionWithListeners) {
  auto* Data = new TMemTableDataKv(nullptr);
  EXPECT_TRUE(Data->IsEmpty());
  Data->GetRecordsList()->FetchRecord(Data->GetRecordsList()->NewRecord());
  EXPECT_TRUE(Data->IsEmpty());  // records do not count
  Data->GetDataStruct()->BuildDataFieldForDef(L"A", ftInteger, 0, 0);
  EXPECT_FALSE(Data->IsEmpty());
  TRecorder A(Data), B(Data);
  delete Data;
  EXPECT_EQ(A.GetDataObject(), nullptr);
  EXPECT_EQ(B.GetDataObject(), nullptr);
  EXPECT_EQ(A.Log, (Lines{L"ListChanging -1", L"ListChanged -1"}));
}

TEST(MemTableStorage, OneOnTheStackLetsItsListenersGo) {
  TRecorder Listener(nullptr);
  {
    TMemTableDataKv Data(nullptr);
    Data.GetDataStruct()->BuildDataFieldForDef(L"A", ftInteger, 0, 0);
    Data.GetRecordsList()->FetchRecord(Data.GetRecordsList()->NewRecord());
    Listener.SetDataObject(&Data);
  }
  EXPECT_EQ(Listener.GetDataObject(), nullptr);
}

TEST(MemTableStorage, TheUnitRegistersItsClassesForStreaming) {
  MemTableDataKvStartup();
  for (const wchar_t* Name :
       {L"TMemTableDataKv", L"TMTDataStructKv", L"TRecordsListKv", L"TMTDataFieldKv", L"TMTStringDataFieldKv",
        L"TMTNumericDataFieldKv", L"TMTDateTimeDataFieldKv", L"TMTBlobDataFieldKv", L"TMTBooleanDataFieldKv",
        L"TMTInterfaceDataFieldKv", L"TMTVariantDataFieldKv", L"TMTRefObjectFieldKv", L"TMTSQLTimeStampDataFieldKv"})
    EXPECT_NE(GetClass(Name), nullptr) << Name;
  EXPECT_EQ(varByteArrayKv, varArray | varByte);
  MemTableDataKvShutdown();
}

TEST(MemTableStorage, UpdateErrorOwnsItsException) {
  std::exception_ptr P;
  try {
    throw EDatabaseError(L"key changed by another user");
  } catch (...) {
    P = std::current_exception();
  }
  TTable T({{L"A", ftInteger}});
  TMemoryRecordKv* R = T.Add({Variant(1)});
  R->SetUpdateError(new TUpdateErrorKv(P));
  P = nullptr;
  ASSERT_TRUE(R->GetUpdateError()->GetExceptionObject());
  EXPECT_EQ(R->GetUpdateError()->GetExceptionObject()->Message(), L"key changed by another user");
  R->SetUpdateError(nullptr);
}

// A table of every storable kind with a few records, its counter moved.
void Fill(TTable& T) {
  TSQLTimeStamp Stamp{2020, 1, 2, 3, 4, 5, 0};
  T.Add({Null, Variant(L"İstanbul"), Variant(Currency(12.5)), Variant(TDateTime(EncodeDate(2024, 1, 31))),
         VarSQLTimeStampCreate(Stamp), ByteArray({0, 1, 2}), Variant(true), StrToVarFixedFormat(L"1.25", VarFMTBcd()),
         StrToVarFixedFormat(L"-0.5", VarFMTBcd())});
  T.Add({Null, Null, Null, Null, Null, Null, Null, Null, Null});
  T.Add({Null, Variant(L"çğıöşü"), Variant(Currency(-1)), Variant(TDateTime(EncodeDate(1899, 1, 1))), Null,
         Variant(AnsiString("xyz")), Variant(false), Null, ByteArray({9, 8})});
}

std::vector<TFieldSpec> AllKinds() {
  return {{L"Id", ftAutoInc},  {L"Name", ftWideString, 20}, {L"Amount", ftCurrency},  {L"Born", ftDate},
          {L"Stamp", ftTimeStamp}, {L"Photo", ftBlob},      {L"Active", ftBoolean}, {L"Exact", ftFMTBcd, 2},
          {L"Any", ftVariant}};
}

TBytes Stored(TMemTableDataKv* Data) {
  Data->SetStoreStructInStream(true);
  Data->SetStoreRecordsInStream(true);
  TMemoryStream S;
  S.WriteComponent(Data);
  return StreamBytes(S);
}

String AsText(const TBytes& Binary) {
  TMemoryStream Bin, Text;
  Bin.WriteBuffer(Binary.data(), Integer(Binary.size()));
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  TBytes T = StreamBytes(Text);
  return String(T.begin(), T.end());
}

TEST(MemTableStorage, StreamsOutAndInByteIdentical) {
  TTable T(AllKinds());
  Fill(T);
  TBytes First = Stored(T.Data);

  TMemTableDataKv Loaded(nullptr);
  TMemoryStream S;
  S.WriteBuffer(First.data(), Integer(First.size()));
  S.SetPosition(0);
  S.ReadComponent(&Loaded);
  ASSERT_EQ(Loaded.GetDataStruct()->GetCount(), 9);
  ASSERT_EQ(Loaded.GetRecordsList()->GetCount(), 3);
  EXPECT_EQ(VarToStr(Loaded.GetRecordsList()->GetRec(0)->GetDataValue(1, dvvValueKv)), L"İstanbul");
  EXPECT_EQ(Loaded.GetRecordsList()->GetRec(2)->GetDataValue(0, dvvValueKv).AsInteger(), -3);
  EXPECT_EQ(Loaded.GetAutoIncrement()->GetCurValue(), -4);  // numbering goes on from there
  EXPECT_EQ(Loaded.GetDataStruct()->GetDataField(7)->GetDataType(), ftFMTBcd);
  EXPECT_EQ(AsText(Stored(&Loaded)), AsText(First));
  EXPECT_EQ(Stored(&Loaded), First);

  // The text form carries the same table.
  TMemoryStream Bin, Text, Again;
  Bin.WriteBuffer(First.data(), Integer(First.size()));
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  Text.SetPosition(0);
  ObjectTextToBinary(&Text, &Again);
  EXPECT_EQ(StreamBytes(Again), First);
}

TEST(MemTableStorage, AnEmptyTableStoresNoData) {
  TTable T({{L"A", ftInteger}});
  TBytes B = Stored(T.Data);
  String Text(B.begin(), B.end());
  EXPECT_EQ(Text.find(L"\x04" L"Data"), String::npos);
  EXPECT_EQ(Text.find(L"AutoIncCurValue"), String::npos);
}

TEST(MemTableStorage, ADamagedStreamIsRefusedAndTheRecordsStay) {
  TTable Source(AllKinds());
  Fill(Source);
  TBytes Good = Stored(Source.Data);

  // Cut inside the records, and a byte of a value's tag spoiled.
  std::vector<TBytes> Damaged;
  Damaged.push_back(TBytes(Good.begin(), Good.end() - 20));
  TBytes Spoiled = Good;
  String AsText(Good.begin(), Good.end());
  size_t At = AsText.find(L"\x04" L"Data");
  ASSERT_NE(At, String::npos);
  Spoiled[At + 6] = 0x7F;  // the first record's list tag
  Damaged.push_back(Spoiled);

  for (const TBytes& Bad : Damaged) {
    TTable T({{L"Only", ftInteger}, {L"Name", ftWideString, 10}});
    T.Add({Variant(5), Variant(L"kept")});
    String Before = Snapshot(T);
    TMemoryStream S;
    S.WriteBuffer(Bad.data(), Integer(Bad.size()));
    S.SetPosition(0);
    EXPECT_THROW(S.ReadComponent(T.Data), EReadError);
    EXPECT_EQ(Snapshot(T), Before);
    EXPECT_EQ(T.Data->GetDataStruct()->GetCount(), 2);
    EXPECT_EQ(T.Data->GetDataStruct()->GetDataField(0)->GetFieldName(), L"Only");
  }
  // The whole stream replaces structure and records.
  TTable T({{L"Only", ftInteger}});
  T.Add({Variant(5)});
  TMemoryStream S;
  S.WriteBuffer(Good.data(), Integer(Good.size()));
  S.SetPosition(0);
  S.ReadComponent(T.Data);
  EXPECT_EQ(T.Data->GetDataStruct()->GetCount(), 9);
  EXPECT_EQ(T.List()->GetCount(), 3);
  EXPECT_EQ(Stored(T.Data), Good);
}

// Stored tables mutated a few thousand times by a seeded generator (bits flipped, bytes changed,
// runs cut, copied or repeated, lengths set large): reading one either succeeds or raises the
// framework's exception, leaves the table as it was when it fails, and what it read stores again.
TEST(MemTableStorage, MutatedStreamsFailCleanlyOrReadWhole) {
  TTable Source(AllKinds());
  Fill(Source);
  Source.Add({Null, Variant(String(300, L'ş')), Variant(Currency(1)), Null, Null, ByteArray({}), Null, Null,
              Variant(Int64(5))});
  const TBytes Seed = Stored(Source.Data);
  std::uint64_t State = 0x9E3779B97F4A7C15ULL;
  auto Next = [&] {
    State ^= State >> 12;
    State ^= State << 25;
    State ^= State >> 27;
    return State * 0x2545F4914F6CDD1DULL;
  };
  auto Below = [&](size_t N) { return N ? size_t(Next() % N) : 0; };
  size_t Read = 0, Refused = 0;
  for (Integer Case = 0; Case < 2500; ++Case) {
    TBytes B = Seed;
    for (size_t Step = 1 + Below(3); Step > 0 && !B.empty(); --Step) {
      size_t At = Below(B.size());
      switch (Below(6)) {
        case 0: B[At] ^= Byte(1u << Below(8)); break;
        case 1: B[At] = Byte(Next()); break;
        case 2: B.resize(At); break;
        case 3: B.erase(B.begin() + ptrdiff_t(At), B.begin() + ptrdiff_t(std::min(B.size(), At + 1 + Below(16)))); break;
        case 4: {
          TBytes Run(B.begin() + ptrdiff_t(At), B.begin() + ptrdiff_t(std::min(B.size(), At + 1 + Below(32))));
          B.insert(B.begin() + ptrdiff_t(Below(B.size())), Run.begin(), Run.end());
          break;
        }
        case 5:
          // A length or count set large.
          for (size_t K = 0; K < 4 && At + K < B.size(); ++K) B[At + K] = K == 3 ? 0x7F : 0xFF;
          break;
      }
    }
    SCOPED_TRACE(Case);
    TTable T({{L"Only", ftInteger}, {L"Name", ftWideString, 10}});
    T.Add({Variant(5), Variant(L"kept")});
    String Before = Snapshot(T);
    TMemoryStream S;
    S.WriteBuffer(B.data(), Integer(B.size()));
    S.SetPosition(0);
    try {
      S.ReadComponent(T.Data);
    } catch (const Exception&) {
      ++Refused;
      ASSERT_EQ(Snapshot(T), Before);
      continue;
    } catch (const std::exception& E) {
      FAIL() << "not a framework exception: " << E.what();
    }
    ++Read;
    TBytes Again = Stored(T.Data);
    ASSERT_FALSE(Again.empty());
  }
  EXPECT_GT(Read, 0u);
  EXPECT_GT(Refused, 0u);
}

// A stream that is no memory stream, as a file is: its reader takes the bytes one call at a time.
class TPlainStream : public TStream {
 public:
  explicit TPlainStream(const TBytes& Bytes) { FData.WriteBuffer(Bytes.data(), Integer(Bytes.size())); FData.SetPosition(0); }
  using TStream::Read;
  using TStream::Write;
  Integer Read(void* Buffer, Integer Count) override { return FData.Read(Buffer, Count); }
  Integer Write(const void* Buffer, Integer Count) override { return FData.Write(Buffer, Count); }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override { return FData.Seek(Offset, Origin); }

 private:
  TMemoryStream FData;
};

String ValueText(const Variant& V) {
  try {
    return VarTypeAsText(V.Type()) + L":" + (V.IsNull() ? String(L"Null") : VarToStrFixedFormat(V));
  } catch (const Exception& E) {
    return VarTypeAsText(V.Type()) + L":<" + E.Message() + L">";
  }
}

// Where the records begin in a stored table: after the "Data" property's name and the list's tag.
size_t RecordsAt(const TBytes& Stored) {
  String Text(Stored.begin(), Stored.end());
  size_t At = Text.find(L"\x04" L"Data");
  return At == String::npos ? At : At + 6;
}

// The records list streams its records' values in pieces of its own: the bytes, and the values read
// back, must be those of each record writing and reading itself, field kind by field kind.
TEST(MemTableStorage, TheListStreamsItsRecordsAsTheyStreamThemselves) {
  struct TCase {
    TFieldType DataType;
    Integer Size;
    Variant Value;
  };
  TSQLTimeStamp Stamp{2020, 1, 2, 3, 4, 5, 0};
  const TCase Cases[] = {
      {ftInteger, 0, Variant(0)},          {ftInteger, 0, Variant(-128)},      {ftInteger, 0, Variant(127)},
      {ftInteger, 0, Variant(-129)},       {ftInteger, 0, Variant(32767)},     {ftInteger, 0, Variant(-32769)},
      {ftInteger, 0, Variant(INT32_MIN)},  {ftLargeint, 0, Variant(Int64(5))}, {ftLargeint, 0, Variant(-(Int64(1) << 40))},
      {ftSmallint, 0, Variant(-300)},      {ftWord, 0, Variant(65535)},        {ftByte, 0, Variant(200)},
      {ftShortint, 0, Variant(-5)},        {ftLongWord, 0, Variant(4000000000u)}, {ftAutoInc, 0, Variant(-7)},
      {ftFloat, 0, Variant(0.1)},          {ftExtended, 0, Variant(-1e300)},   {ftSingle, 0, Variant(1.5f)},
      {ftCurrency, 0, Variant(Currency(-12.3456))}, {ftBCD, 4, Variant(Currency(7))},
      {ftDate, 0, Variant(TDateTime(EncodeDate(2024, 2, 29)))}, {ftTime, 0, Variant(TDateTime(0.75))},
      {ftDateTime, 0, Variant(TDateTime(-700.25))}, {ftBoolean, 0, Variant(true)}, {ftBoolean, 0, Variant(false)},
      {ftWideString, 20, Variant(L"")},    {ftWideString, 20, Variant(L"abc")}, {ftWideString, 20, Variant(L"Şişli")},
      {ftWideString, 400, Variant(String(300, L'x'))}, {ftWideString, 400, Variant(String(300, L'ğ'))},
      {ftString, 20, Variant(L"abc")},     {ftFixedChar, 20, Variant(L"xy")},  {ftFixedWideChar, 20, Variant(L"İğne")},
      {ftMemo, 0, Variant(L"note")},       {ftWideMemo, 0, Variant(L"çok")},   {ftGuid, 38, Variant(L"{00000000-0000-0000-0000-000000000001}")},
      {ftVariant, 0, Variant(7)},          {ftVariant, 0, Variant(L"any")},    {ftVariant, 0, Variant(2.5)},
      {ftVariant, 0, Variant(true)},       {ftVariant, 0, Variant(Currency(3))}, {ftVariant, 0, Variant(Int64(1) << 50)},
      {ftFMTBcd, 4, StrToVarFixedFormat(L"-1.25", VarFMTBcd())}, {ftTimeStamp, 0, VarSQLTimeStampCreate(Stamp)},
      {ftBlob, 0, ByteArray({0, 1, 2})},   {ftBytes, 4, Variant(AnsiString("ab"))},
  };
  std::vector<TFieldSpec> Fields;
  std::vector<String> Names;
  for (size_t I = 0; I < std::size(Cases); ++I) Names.push_back(L"F" + IntToStr(Integer(I)));
  for (size_t I = 0; I < std::size(Cases); ++I) Fields.push_back({Names[I].c_str(), Cases[I].DataType, Cases[I].Size});
  TTable T(Fields);
  std::vector<TMemoryRecordKv*> Recs;
  for (Integer R = 0; R < 3; ++R) {
    // The values, all Null, and the values shifted by one field (each a value its field converts).
    TMemoryRecordKv* Rec = T.List()->NewRecord();
    for (size_t I = 0; I < std::size(Cases); ++I) {
      const Variant& V = R == 0 ? Cases[I].Value : R == 1 ? Null : Cases[(I + 1) % std::size(Cases)].Value;
      try {
        Rec->SetDataValue(Integer(I), dvvValueKv, V);
      } catch (const EDatabaseError&) {
        Rec->SetDataValue(Integer(I), dvvValueKv, Cases[I].Value);
      }
    }
    T.List()->AddRecord(Rec);
    Recs.push_back(Rec);
  }

  TBytes Good = Stored(T.Data);
  size_t At = RecordsAt(Good);
  ASSERT_NE(At, String::npos);
  for (TMemoryRecordKv* Rec : Recs) {
    TBytes Own = WrittenRecord(Rec);
    ASSERT_LE(At + Own.size(), Good.size());
    EXPECT_EQ(TBytes(Good.begin() + At, Good.begin() + At + Own.size()), Own) << "record " << Rec->GetIndex();
    At += Own.size();
  }
  EXPECT_EQ(Good[At], vaNull);

  // Read from memory in place and from a stream of another kind alike.
  for (bool InMemory : {true, false}) {
    SCOPED_TRACE(InMemory ? "memory stream" : "other stream");
    TMemTableDataKv Loaded(nullptr);
    TMemoryStream M;
    M.WriteBuffer(Good.data(), Integer(Good.size()));
    M.SetPosition(0);
    TPlainStream P(Good);
    (InMemory ? static_cast<TStream*>(&M) : &P)->ReadComponent(&Loaded);
    ASSERT_EQ(Loaded.GetRecordsList()->GetCount(), 3);
    for (Integer R = 0; R < 3; ++R) {
      std::unique_ptr<TMemoryRecordKv> Own(T.List()->NewRecord());
      TBytes Bytes = WrittenRecord(Recs[size_t(R)]);
      TMemoryStream S;
      S.WriteBuffer(Bytes.data(), Integer(Bytes.size()));
      S.SetPosition(0);
      TReader Reader(&S);
      Own->ReadRecordData(&Reader);
      for (size_t I = 0; I < std::size(Cases); ++I)
        EXPECT_EQ(VarType(Loaded.GetRecordsList()->GetRec(R)->GetDataValue(Integer(I), dvvValueKv)),
                  VarType(Own->GetDataValue(Integer(I), dvvValueKv)))
            << "record " << R << " field " << I;
    }
    EXPECT_EQ(Stored(&Loaded), Good);
  }
}

// Values a writer of ours does not give (other tags, texts of the code page, damaged lengths) are read
// from memory as the records read them from a stream of another kind, or refused alike.
TEST(MemTableStorage, TheListReadsOddValuesAsARecordDoes) {
  auto Wide = [](const wchar_t* S, Integer Len) {
    TBytes B{vaWString};
    B.insert(B.end(), reinterpret_cast<const Byte*>(&Len), reinterpret_cast<const Byte*>(&Len) + 4);
    for (const wchar_t* C = S; *C; ++C) B.insert(B.end(), {Byte(*C & 0xFF), Byte(*C >> 8)});
    return B;
  };
  double Half = 0.5;
  TBytes Dbl{vaDouble};
  Dbl.insert(Dbl.end(), reinterpret_cast<const Byte*>(&Half), reinterpret_cast<const Byte*>(&Half) + 8);
  long double Ext = 45000.25L;
  TBytes Extended{vaExtended};
  Extended.insert(Extended.end(), reinterpret_cast<const Byte*>(&Ext), reinterpret_cast<const Byte*>(&Ext) + 10);
  struct TCase {
    TFieldType DataType;
    TBytes Value;
  };
  const TCase Cases[] = {
      {ftWideString, {vaUTF8String, 3, 0, 0, 0, 0xC3, 0xA7, 'a'}},
      {ftWideString, {vaString, 2, 0xFE, 'x'}},  // a byte of the ANSI code page
      {ftWideString, {vaLString, 2, 0, 0, 0, 'o', 'k'}},
      {ftWideString, {vaInt8, 42}},
      {ftWideString, Wide(L"ab", 2)},
      {ftWideString, Wide(L"ab", 3)},   // longer than what follows
      {ftWideString, Wide(L"ab", -1)},
      {ftString, {vaString, 2, 'a', 'b'}},
      {ftFixedWideChar, Wide(L"ağ", 2)},
      {ftFloat, Dbl},
      {ftFloat, {vaInt8, 5}},
      {ftSingle, Dbl},
      {ftCurrency, {vaInt16, 0x10, 0x27}},
      {ftDate, Extended},
      {ftInteger, {vaString, 2, '1', '2'}},
      {ftInteger, {vaInt64, 0, 0, 0, 0, 1, 0, 0, 0}},  // too large for the field
      {ftInteger, {vaInt32, 1, 2}},                    // cut short
      {ftInteger, {0x7F}},                             // no tag at all
      {ftInteger, {vaNull}},
      {ftLargeint, {vaInt8, 3}},
      {ftBoolean, {vaInt8, 1}},
      {ftVariant, {vaSingle, 0, 0, 0xC0, 0x3F}},
      {ftVariant, {vaUTF8String, 1, 0, 0, 0, 'z'}},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(String(FieldTypeNames[C.DataType]) + L" " + IntToStr(Integer(C.Value[0])));
    TTable T({{L"F", C.DataType, 20}, {L"G", ftInteger}});
    TMemoryRecordKv* Rec = T.Add({Null, Variant(9)});
    TBytes Good = Stored(T.Data);
    TBytes Own = WrittenRecord(Rec);
    size_t At = RecordsAt(Good);
    ASSERT_NE(At, String::npos);
    // The record's first value replaced.
    TBytes Record{vaList};
    Record.insert(Record.end(), C.Value.begin(), C.Value.end());
    Record.insert(Record.end(), {vaInt8, 9, vaNull});
    TBytes Odd(Good.begin(), Good.begin() + At);
    Odd.insert(Odd.end(), Record.begin(), Record.end());
    Odd.insert(Odd.end(), Good.begin() + At + Own.size(), Good.end());

    // A stream of another kind is read a value at a time by the records themselves.
    auto Read = [&](bool InMemory) -> String {
      try {
        TMemTableDataKv Loaded(nullptr);
        TMemoryStream M;
        M.WriteBuffer(Odd.data(), Integer(Odd.size()));
        M.SetPosition(0);
        TPlainStream P(Odd);
        (InMemory ? static_cast<TStream*>(&M) : &P)->ReadComponent(&Loaded);
        TMemoryRecordKv* Back = Loaded.GetRecordsList()->GetRec(0);
        return ValueText(Back->GetDataValue(0, dvvValueKv)) + L" " + ValueText(Back->GetDataValue(1, dvvValueKv));
      } catch (const Exception& E) {
        return E.ClassName() + L": " + E.Message();
      }
    };
    String Expected = Read(false), Got = Read(true);
    EXPECT_EQ(Got, Expected);
  }
}

// A variant field's values come back with their types: those the stream's own tags keep are
// written plain, as before, and the others (BCDs, time stamps, integers and texts of other widths,
// byte arrays) as a list of the type's name and the value.
TEST(MemTableStorage, AVariantFieldKeepsTheTypesOfItsValues) {
  TSQLTimeStamp Stamp{2021, 3, 4, 5, 6, 7, 89};
  TSQLTimeStampOffset StampOff{2021, 3, 4, 5, 6, 7, 89, 3, 0};
  struct TCase {
    Variant Value;
    bool Plain;
  } Cases[] = {
      {Variant(70000), true},
      {Variant(1.5f), true},
      {Variant(0.1), true},
      {Variant(Currency(-12.3456)), true},
      {Variant(TDateTime(45000.75)), true},
      {Variant(true), true},
      {Variant(L"Şişli"), true},
      {Null, true},
      {Variant(short(-300)), false},
      {Variant((signed char)(-5)), false},
      {Variant((unsigned char)(200)), false},
      {Variant((unsigned short)(65535)), false},
      {Variant(4000000000u), false},
      {Variant(5LL), false},
      {Variant(-(1LL << 50)), false},
      {Variant(18000000000000000000ULL), false},
      {VarAsType(Variant(L"İğne"), varOleStr), false},
      {Variant(AnsiString("abc")), false},
      {StrToVarFixedFormat(L"123456789012345678.1234", VarFMTBcd()), false},
      {VarSQLTimeStampCreate(Stamp), false},
      {VarSQLTimeStampOffsetCreate(StampOff), false},
      {ByteArray({0, 7, 255}), false},
  };
  auto Text = [](const Variant& V) -> String {
    String S = VarTypeAsText(V.Type()) + L":";
    if (V.IsNull()) return S + L"Null";
    if (VarIsArray(V)) {
      for (Integer I = VarArrayLowBound(V, 1); I <= VarArrayHighBound(V, 1); ++I) S += VarToStr(V[I]) + L" ";
      return S;
    }
    if (VarIsSQLTimeStampOffset(V)) return S + SQLTimeStampOffsetVarToText(V);
    if (VarIsSQLTimeStamp(V)) return S + SQLTimeStampVarToText(V);
    if (V.Type() == varUInt64) return S + String(std::to_wstring(V.AsUInt64()));
    return S + VarToStrFixedFormat(V);
  };
  for (const TCase& C : Cases) {
    String Expected = Text(C.Value);
    SCOPED_TRACE(Expected.c_str());
    TTable T({{L"Any", ftVariant}, {L"N", ftInteger}});
    TMemoryRecordKv* Rec = T.Add({C.Value, Variant(1)});
    // The record's own streaming.
    TBytes Own = WrittenRecord(Rec);
    ASSERT_GT(Own.size(), 2u);
    EXPECT_EQ(Own[1] == vaList, !C.Plain);
    std::unique_ptr<TMemoryRecordKv> Back(T.List()->NewRecord());
    TMemoryStream S;
    S.WriteBuffer(Own.data(), Integer(Own.size()));
    S.SetPosition(0);
    {
      TReader R(&S, 1024);
      Back->ReadRecordData(&R);
    }
    EXPECT_EQ(Text(Back->GetDataValue(0, dvvValueKv)), Expected);
    // The list's "Data", from memory in place and from a stream of another kind.
    TBytes Good = Stored(T.Data);
    for (bool InMemory : {true, false}) {
      TMemTableDataKv Loaded(nullptr);
      TMemoryStream M;
      M.WriteBuffer(Good.data(), Integer(Good.size()));
      M.SetPosition(0);
      TPlainStream P(Good);
      (InMemory ? static_cast<TStream*>(&M) : &P)->ReadComponent(&Loaded);
      EXPECT_EQ(Text(Loaded.GetRecordsList()->GetRec(0)->GetDataValue(0, dvvValueKv)), Expected) << InMemory;
      EXPECT_EQ(Stored(&Loaded), Good) << InMemory;
    }
  }
}

// A typed value that names no type, or whose value is not one of its type, is a damaged stream.
TEST(MemTableStorage, ADamagedTypedVariantValueIsAReadError) {
  auto Str = [](const char* Text) {
    TBytes B{vaString, Byte(std::strlen(Text))};
    B.insert(B.end(), Text, Text + std::strlen(Text));
    return B;
  };
  auto Join = [](std::initializer_list<TBytes> Parts) {
    TBytes B{vaList, vaList};
    for (const TBytes& P : Parts) B.insert(B.end(), P.begin(), P.end());
    B.insert(B.end(), {vaNull, vaNull});
    return B;
  };
  const TBytes Cases[] = {
      Join({Str("Decimal"), {vaInt8, 1}}),          // no such type
      Join({{vaInt8, 2}, {vaInt8, 1}}),             // no name
      Join({Str("Smallint"), {vaInt32, 0x70, 0x11, 1, 0}}),  // out of its range
      Join({Str("Smallint"), Str("12")}),           // a text for an integer
      Join({Str("FMTBcd"), Str("1,2x")}),           // no number
      Join({Str("FMTBcd"), {vaInt8, 1}}),           // a number for a text
      Join({Str("SQLTimeStamp"), Str("2021-0x-04")}),
      Join({Str("Bytes"), Str("ab")}),
      Join({Str("Int64"), {vaInt8, 1}, {vaInt8, 2}}),  // more than one value
  };
  for (const TBytes& Bytes : Cases) {
    SCOPED_TRACE(testing::PrintToString(Bytes));
    TTable T({{L"Any", ftVariant}});
    std::unique_ptr<TMemoryRecordKv> Rec(T.List()->NewRecord());
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), Integer(Bytes.size()));
    S.SetPosition(0);
    TReader R(&S, 1024);
    EXPECT_THROW(Rec->ReadRecordData(&R), EReadError);
  }
}

}  // namespace

#include "framework/WinApi.h"

namespace {

std::string Codes(const String& S) {
  std::string R;
  for (wchar_t C : S) R += (C < 128 ? std::string(1, char(C)) : "U+" + std::to_string(unsigned(C))) + " ";
  return R;
}

// The collation against the system's Turkish comparison on random texts of letters, digits,
// punctuation, symbols, accents (precomposed and combining), other scripts, characters beyond the
// BMP and mixed case. The two differ only where explained:
//   - ı, I and İ: Wine takes them for variants of i, where the Turkish alphabet (and Windows) has ı
//     and i as two letters, I the capital of ı and İ that of i; the table below holds that order;
//   - kana and jamo, which the system weighs in ways that do not come apart per character: the
//     collation orders them after all other characters, by code.
TEST(TurkishSortKey, OrdersAsTheSystemsTurkishCollation) {
  String Letters = L"abcçdefgğhjklmnoöpqrsştuüvwxyzABCÇDEFGĞHJKLMNOÖPQRSŞTUÜVWXYZâîûÂÎÛéèêëáàäåñøæßœ 0123456789";
  Letters += L"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~\u00A0\u00AD\u00A7\u00B0\u20AC\u20BA\u2013\u2014\u2019\u201C\u2026";
  Letters += L"\u0300\u0301\u0302\u0306\u0308\u0327\u0391\u03B1\u0410\u0430\u05D0\u0627\u0660\u4E00\uFF21\u0009";
  const String Family = L"ıIİ", ByCode = L"\u3042\u30A2\u1100";
  Letters += L"i" + Family + ByCode;
  std::mt19937 Rng(1923);
  auto Name = [&] {
    String S;
    Integer Len = 1 + Integer(Rng() % 7);
    for (Integer I = 0; I < Len; ++I) {
      if (Rng() % 40 == 0) {
        S += L"\U0001F600";  // a surrogate pair
        continue;
      }
      S += Letters[Rng() % Letters.size()];
    }
    return S;
  };
  auto Holds = [](const String& S, const String& Set) { return S.find_first_of(Set) != String::npos; };
  Integer Mismatches = 0, OfFamily = 0, OfByCode = 0;
  for (Integer N = 0; N < 60000; ++N) {
    String A = Name(), B = Rng() % 3 ? Name() : A;
    if (Rng() % 2 && !B.empty()) B[Rng() % B.size()] = Letters[Rng() % Letters.size()];
    std::string KA, KB;
    ASSERT_TRUE(TurkishSortKeyKv(A, KA));
    ASSERT_TRUE(TurkishSortKeyKv(B, KB));
    Integer Keys = KA < KB ? -1 : KA == KB ? 0 : 1;
    Integer Ours = TurkishCompareKv(A.data(), Integer(A.size()), B.data(), Integer(B.size()));
    ASSERT_EQ(Ours, Keys) << Codes(A) << " vs " << Codes(B);
    Integer System = CompareStringEx(L"tr-TR", 0, A.c_str(), Integer(A.size()), B.c_str(), Integer(B.size()), nullptr,
                                     nullptr, 0) - CSTR_EQUAL;
    if (Ours == System) continue;
    if (Holds(A + B, Family)) {
      ++OfFamily;
    } else if (Holds(A + B, ByCode)) {
      ++OfByCode;
    } else if (++Mismatches <= 10) {
      ADD_FAILURE() << Codes(A) << " vs " << Codes(B) << ": collation " << Ours << ", system " << System;
    }
  }
  EXPECT_EQ(Mismatches, 0);
  EXPECT_GT(OfFamily, 0);  // the sample does reach the explained differences
  EXPECT_GT(OfByCode, 0);
  const struct {
    const wchar_t* Less;
    const wchar_t* Greater;
  } Order[] = {{L"ı", L"i"}, {L"I", L"i"}, {L"ı", L"I"}, {L"i", L"İ"}, {L"h", L"ı"}, {L"İ", L"j"},
               {L"ız", L"ia"}, {L"Iz", L"ia"}, {L"ılık", L"Işık"}, {L"ılık", L"Ilık"}, {L"Ilık", L"ilik"}, {L"ilik", L"İlik"},
               {L"z", L"\u3042"}, {L"\U0001F600", L"\u3042"}};
  for (const auto& C : Order) {
    std::string KL, KG;
    ASSERT_TRUE(TurkishSortKeyKv(C.Less, KL));
    ASSERT_TRUE(TurkishSortKeyKv(C.Greater, KG));
    EXPECT_LT(KL, KG) << Codes(C.Less) << " < " << Codes(C.Greater);
  }
  // I and U+0307 read as İ, c and U+0327 as ç, as the system composes them.
  for (auto [Composed, Precomposed] : {std::pair{L"I\u0307", L"İ"}, std::pair{L"c\u0327", L"ç"}})
    EXPECT_EQ(TurkishCompareKv(Composed, Integer(std::wcslen(Composed)), Precomposed, Integer(std::wcslen(Precomposed))), 0)
        << Codes(Composed);
}

}  // namespace
