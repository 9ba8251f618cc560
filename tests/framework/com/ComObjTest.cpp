#include <gtest/gtest.h>

#include <vector>

#include "framework/ComObj.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"

namespace {

// Wine's scripting runtime: a real in-process automation object.
Variant NewDictionary() { return CreateOleObject(L"Scripting.Dictionary"); }

Variant StringArray(std::initializer_list<const wchar_t*> Items) {
  Variant A = VarArrayCreate({0, Integer(Items.size()) - 1}, varOleStr);
  Integer I = 0;
  for (const wchar_t* S : Items) A[I++] = String(S);
  return A;
}

TEST(ComObj, DictionaryPropertiesAndMethods) {
  Variant Dict = NewDictionary();
  ASSERT_EQ(VarType(Dict), varDispatch);
  Dict.OlePropertySet(L"CompareMode", 1);  // text comparison: keys match without case
  EXPECT_EQ(Dict.OlePropertyGet(L"CompareMode").AsInteger(), 1);
  Dict.OleProcedure(L"Add", L"bir", 1);
  Dict.OleProcedure(L"Add", L"iki", L"İkinci değer");
  EXPECT_EQ(Dict.OlePropertyGet(L"Count").AsInteger(), 2);
  EXPECT_EQ(Dict.OlePropertyGet(L"Item", L"bir").AsInteger(), 1);
  EXPECT_EQ(Dict.OlePropertyGet(L"Item", L"iki").AsString(), L"İkinci değer");
  // A parameterised property write: the key, then the value.
  Dict.OlePropertySet(L"Item", L"bir", 7.5);
  EXPECT_EQ(Dict.OlePropertyGet(L"Item", L"bir").AsDouble(), 7.5);
  EXPECT_TRUE(Dict.OleFunction(L"Exists", L"iki").AsBoolean());
  EXPECT_TRUE(Dict.OleFunction(L"Exists", L"BIR").AsBoolean());
  EXPECT_FALSE(Dict.OleFunction(L"Exists", L"üç").AsBoolean());

  const Variant Keys = Dict.OleFunction(L"Keys");
  ASSERT_TRUE(VarIsArray(Keys));
  ASSERT_EQ(VarArrayHighBound(Keys, 1), 1);
  EXPECT_EQ(Keys[0].AsString(), L"bir");
  EXPECT_EQ(Keys[1].AsString(), L"iki");
}

TEST(ComObj, ObjectsPassAsArgumentsAndResults) {
  Variant Outer = NewDictionary();
  Variant Inner = NewDictionary();
  Inner.OleProcedure(L"Add", L"k", 42);
  Outer.OleProcedure(L"Add", L"inner", Inner);
  // Chained access through the returned object.
  EXPECT_EQ(Outer.OlePropertyGet(L"Item", L"inner").OlePropertyGet(L"Item", L"k").AsInteger(), 42);
}

TEST(ComObj, StringArrayTravelsAsAutomationArray) {
  Variant Dict = NewDictionary();
  Dict.OleProcedure(L"Add", L"dns", StringArray({L"8.8.8.8", L"Şube-1"}));
  const Variant Back = Dict.OlePropertyGet(L"Item", L"dns");
  ASSERT_EQ(VarType(Back), varArray | varOleStr);
  EXPECT_EQ(VarArrayLowBound(Back, 1), 0);
  EXPECT_EQ(VarArrayHighBound(Back, 1), 1);
  EXPECT_EQ(Back[0].AsString(), L"8.8.8.8");
  EXPECT_EQ(Back[1].AsString(), L"Şube-1");
}

TEST(ComObj, NewEnumVisitsItemsInOrder) {
  Variant Dict = NewDictionary();
  for (const wchar_t* K : {L"a", L"b", L"c"}) Dict.OleProcedure(L"Add", K, 0);
  String Seen;
  for (const Variant& Key : TOleEnum(Dict)) Seen += Key.AsString();
  EXPECT_EQ(Seen, L"abc");

  TOleEnum Empty(NewDictionary());
  EXPECT_FALSE(Empty.MoveNext());
  EXPECT_FALSE(Empty.MoveNext());  // stays at the end
}

TEST(ComObj, MonikerBindsWmiAndEnumeratesAQuery) {
  Variant Wmi = OleGetObject(L"winmgmts:\\\\.\\root\\cimv2");
  ASSERT_EQ(VarType(Wmi), varDispatch);
  Variant Set = Wmi.OleFunction(L"ExecQuery", L"SELECT * FROM Win32_OperatingSystem", L"WQL", 0x20);
  int Count = 0;
  for (const Variant& Item : TOleEnum(Set)) {
    EXPECT_EQ(VarType(Item), varDispatch);
    ++Count;
  }
  EXPECT_EQ(Count, 1);
}

TEST(ComObj, ErrorsCarryCodeAndText) {
  Variant Dict = NewDictionary();
  Dict.OleProcedure(L"Add", L"k", 1);
  struct Case {
    const char* What;
    std::function<void()> Call;
    Integer Code;
    const wchar_t* Text;  // the message starts with it
  };
  const Case Cases[] = {
      {"duplicate key", [&] { Dict.OleProcedure(L"Add", L"k", 2); }, Integer(0x800A01C9), L"OLE error 800A01C9"},
      {"unknown member", [&] { Dict.OleFunction(L"Yok"); }, Integer(DISP_E_UNKNOWNNAME), L"Unknown name. (Yok)"},
      {"unknown class", [] { CreateOleObject(L"Qal.NoSuchClass"); }, Integer(CO_E_CLASSSTRING), L"Invalid class string"},
      {"bad moniker", [] { OleGetObject(L"no such moniker"); }, 0, L""},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.What);
    try {
      C.Call();
      ADD_FAILURE() << "no error";
    } catch (const EOleSysError& E) {
      if (C.Code) EXPECT_EQ(E.ErrorCode, C.Code);
      else EXPECT_TRUE(FAILED(HRESULT(E.ErrorCode)));
      EXPECT_EQ(E.Message().substr(0, wcslen(C.Text)), C.Text);
      EXPECT_FALSE(E.Message().empty());
    }
  }
  EXPECT_THROW(Variant(5).OleFunction(L"Add"), EOleError);
  EXPECT_THROW(TOleEnum(Variant(L"metin")), EOleError);
}

// An automation object of our own that records what reaches it and raises an exception with
// a description, the way a WMI or firewall object reports a refusal.
class TRecordingObject : public IDispatch {
 public:
  struct TCall {
    String Name;
    WORD Flags;
    std::vector<Variant> Args;  // in the caller's order
    std::vector<VARTYPE> Types;
  };
  std::vector<TCall> Calls;

  HRESULT __stdcall QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == IID_IUnknown || Iid == IID_IDispatch) {
      *Out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ++FRefs; }
  ULONG __stdcall Release() override { return --FRefs; }  // lives on the test's stack
  HRESULT __stdcall GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* Names, UINT, LCID, DISPID* Ids) override {
    for (DISPID I = 0; I < DISPID(std::size(Members)); ++I)
      if (SameText(Names[0], Members[I])) {
        Ids[0] = I + 1;
        return S_OK;
      }
    Ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT __stdcall Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                           EXCEPINFO* Info, UINT*) override {
    TCall Call{Members[Id - 1], Flags, {}, {}};
    for (UINT I = Params->cArgs; I-- > 0;) {
      Call.Args.push_back(OleToVariant(Params->rgvarg[I]));
      Call.Types.push_back(Params->rgvarg[I].vt);
    }
    if (Params->cNamedArgs == 1 && Params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) Call.Name += L"=";
    Calls.push_back(Call);
    if (Id == 2) {  // Refuse
      Info->wCode = 0;
      Info->scode = E_ACCESSDENIED;
      Info->bstrSource = SysAllocString(L"Qal.Kayıt");
      Info->bstrDescription = SysAllocString(L"Erişim reddedildi: ağ ayarı");
      return DISP_E_EXCEPTION;
    }
    if (Result) {
      Result->vt = VT_UI4;
      Result->ulVal = 0;
    }
    return S_OK;
  }

 private:
  static constexpr const wchar_t* Members[] = {L"Apply", L"Refuse", L"Enabled"};
  ULONG FRefs = 1;
};

TEST(ComObj, ArgumentsReachTheObjectInOrderAndTyped) {
  TRecordingObject Obj;
  {
    Variant V = Variant::FromOleDispatch(&Obj);
    EXPECT_EQ(V.OleFunction(L"Apply", StringArray({L"10.0.0.5"}), L"255.255.255.0", 6, true, EmptyParam).AsInteger(),
              0);
    V.OlePropertySet(L"Enabled", true);
  }
  ASSERT_EQ(Obj.Calls.size(), 2u);
  const auto& Apply = Obj.Calls[0];
  EXPECT_EQ(Apply.Name, L"Apply");
  EXPECT_EQ(Apply.Flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  const std::vector<VARTYPE> Types{VT_ARRAY | VT_BSTR, VT_BSTR, VT_I4, VT_BOOL, VT_ERROR};
  EXPECT_EQ(Apply.Types, Types);
  EXPECT_EQ(Apply.Args[0][0].AsString(), L"10.0.0.5");
  EXPECT_EQ(Apply.Args[1].AsString(), L"255.255.255.0");
  EXPECT_EQ(Apply.Args[2].AsInteger(), 6);
  EXPECT_TRUE(VarIsEmptyParam(Apply.Args[4]));
  EXPECT_EQ(Obj.Calls[1].Name, L"Enabled=");
  EXPECT_EQ(Obj.Calls[1].Flags, DISPATCH_PROPERTYPUT);
}

TEST(ComObj, ObjectExceptionBecomesEOleException) {
  TRecordingObject Obj;
  Variant V = Variant::FromOleDispatch(&Obj);
  try {
    V.OleProcedure(L"Refuse");
    ADD_FAILURE() << "no error";
  } catch (const EOleException& E) {
    EXPECT_EQ(E.Message(), L"Erişim reddedildi: ağ ayarı");
    EXPECT_EQ(E.Source, L"Qal.Kayıt");
    EXPECT_EQ(E.ErrorCode, Integer(E_ACCESSDENIED));
  }
}

}  // namespace
