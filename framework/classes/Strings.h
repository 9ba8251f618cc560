#pragma once
// TStrings, the abstract list of strings with attached objects that controls and the system
// share, and TStringList, the one that keeps its strings itself (sorted or not).
// Comparisons follow the user's locale: case-insensitive ones as AnsiCompareText.

#include "framework/classes/Lists.h"
#include "framework/classes/Persistent.h"

class TStream;
class TEncoding;

class TStrings : public TPersistent {
  DECLARE_CLASS(TStrings, TPersistent)
 public:
  TStrings();
  ~TStrings() override;

  virtual Integer Add(const String& S);
  virtual Integer AddObject(const String& S, TObject* AObject);
  TStrings* AddPair(const String& Name, const String& Value);
  TStrings* AddPair(const String& Name, const String& Value, TObject* AObject);
  void Append(const String& S) { Add(S); }
  virtual void AddStrings(TStrings* Strings);
  void AddStrings(const std::vector<String>& Strings);
  void Assign(TPersistent* Source) override;
  void BeginUpdate();
  void EndUpdate();
  virtual void Clear() = 0;
  virtual void Delete(Integer Index) = 0;
  virtual void Insert(Integer Index, const String& S) = 0;
  virtual void InsertObject(Integer Index, const String& S, TObject* AObject);
  // Same strings in the same order, compared exactly.
  bool Equals(TStrings* Strings) const;
  virtual void Exchange(Integer Index1, Integer Index2);
  virtual void Move(Integer CurIndex, Integer NewIndex);
  virtual Integer IndexOf(const String& S) const;
  virtual Integer IndexOfName(const String& Name) const;
  virtual Integer IndexOfObject(TObject* AObject) const;

  // Reads the rest of Stream: a preamble in it decides the encoding, else Encoding, else
  // DefaultEncoding (the ANSI code page). Saving uses Encoding, else the one last loaded,
  // else DefaultEncoding, and writes its preamble while WriteBOM.
  virtual void LoadFromStream(TStream* Stream, TEncoding* Encoding = nullptr);
  virtual void SaveToStream(TStream* Stream, TEncoding* Encoding = nullptr);
  virtual void LoadFromFile(const String& FileName, TEncoding* Encoding = nullptr);
  virtual void SaveToFile(const String& FileName, TEncoding* Encoding = nullptr);
  std::vector<String> ToStringArray() const;
  std::vector<TObject*> ToObjectArray() const;

  // Properties.
  virtual Integer GetCount() const = 0;
  virtual Integer GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(Integer NewCapacity);
  String GetStrings(Integer Index) const { return Get(Index); }
  void SetStrings(Integer Index, const String& S) { Put(Index, S); }
  String operator[](Integer Index) const { return Get(Index); }
  TObject* GetObjects(Integer Index) const { return GetObject(Index); }
  void SetObjects(Integer Index, TObject* AObject) { PutObject(Index, AObject); }
  // Every line followed by LineBreak (the last one too while TrailingLineBreak); setting splits
  // at CR, LF and CR LF (or at LineBreak when that is not CR LF).
  String GetText() const { return GetTextStr(); }
  void SetText(const String& Value) { SetTextStr(Value); }
  // Delimiter ',' and QuoteChar '"', not strict: items holding blanks, commas or quotes are
  // quoted with inner quotes doubled; reading splits at commas and unquoted blanks.
  String GetCommaText() const;
  void SetCommaText(const String& Value);
  String GetDelimitedText() const;
  void SetDelimitedText(const String& Value);
  Char GetDelimiter() const { return FDelimiter; }
  void SetDelimiter(Char Value) { FDelimiter = Value; }
  Char GetQuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(Char Value) { FQuoteChar = Value; }
  bool GetStrictDelimiter() const { return FStrictDelimiter; }
  void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
  Char GetNameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(Char Value) { FNameValueSeparator = Value; }
  const String& GetLineBreak() const { return FLineBreak; }
  void SetLineBreak(const String& Value) { FLineBreak = Value; }
  bool GetTrailingLineBreak() const { return FTrailingLineBreak; }
  void SetTrailingLineBreak(bool Value) { FTrailingLineBreak = Value; }
  // The part before the first separator ("" without one); KeyNames gives the whole line then.
  String GetNames(Integer Index) const;
  String GetKeyNames(Integer Index) const;
  String GetValues(const String& Name) const;
  // An empty Value deletes the line of Name.
  void SetValues(const String& Name, const String& Value);
  String GetValueFromIndex(Integer Index) const;
  void SetValueFromIndex(Integer Index, const String& Value);
  TEncoding* GetEncoding() const { return FEncoding; }
  TEncoding* GetDefaultEncoding() const { return FDefaultEncoding; }
  void SetDefaultEncoding(TEncoding* Value);
  bool GetWriteBOM() const { return FWriteBOM; }
  void SetWriteBOM(bool Value) { FWriteBOM = Value; }
  Integer GetUpdateCount() const { return FUpdateCount; }

  class const_iterator {
   public:
    const_iterator(const TStrings* L, Integer I) : FL(L), FI(I) {}
    String operator*() const { return FL->Get(FI); }
    const_iterator& operator++() {
      ++FI;
      return *this;
    }
    bool operator!=(const const_iterator& R) const { return FI != R.FI; }

   private:
    const TStrings* FL;
    Integer FI;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, GetCount()}; }

 protected:
  [[noreturn]] void Error(const String& Msg, NativeInt Data) const;
  String ExtractName(const String& S, bool AllNames = false) const;
  virtual String Get(Integer Index) const = 0;
  virtual void Put(Integer Index, const String& S);
  virtual TObject* GetObject(Integer Index) const;
  virtual void PutObject(Integer Index, TObject* AObject);
  virtual String GetTextStr() const;
  virtual void SetTextStr(const String& Value);
  // Called with true when the outermost update bracket opens and false when it closes.
  virtual void SetUpdateState(bool Updating);
  // Negative, zero or positive; AnsiCompareText here.
  virtual Integer CompareStrings(const String& S1, const String& S2) const;
  void SetEncoding(TEncoding* Value);

 private:
  Integer FUpdateCount = 0;
  Char FDelimiter = L',';
  Char FQuoteChar = L'"';
  Char FNameValueSeparator = L'=';
  bool FStrictDelimiter = false;
  bool FTrailingLineBreak = true;
  bool FWriteBOM = true;
  String FLineBreak = L"\r\n";
  TEncoding* FEncoding = nullptr;         // owned unless a shared instance
  TEncoding* FDefaultEncoding = nullptr;  // likewise
};

class TStringList;
using TStringListSortCompare = Integer (*)(TStringList* List, Integer Index1, Integer Index2);

class TStringList : public TStrings {
  DECLARE_CLASS(TStringList, TStrings)
 public:
  TStringList() = default;
  explicit TStringList(bool OwnsObjects) : FOwnsObjects(OwnsObjects) {}
  ~TStringList() override;

  Integer Add(const String& S) override;
  // On a sorted list the string goes to its place; a duplicate is then ignored (answering the
  // index of the one present), accepted, or refused with EStringListError, as Duplicates says.
  Integer AddObject(const String& S, TObject* AObject) override;
  void Clear() override;
  void Delete(Integer Index) override;
  void Exchange(Integer Index1, Integer Index2) override;
  // Bisection over a sorted list: true when found; Index is the match or where S belongs.
  virtual bool Find(const String& S, Integer& Index) const;
  Integer IndexOf(const String& S) const override;
  void Insert(Integer Index, const String& S) override;
  void InsertObject(Integer Index, const String& S, TObject* AObject) override;
  virtual void Sort();
  virtual void CustomSort(TStringListSortCompare Compare);

  Integer GetCount() const override { return Integer(FList.size()); }
  Integer GetCapacity() const override { return Integer(FList.capacity()); }
  void SetCapacity(Integer NewCapacity) override;
  TDuplicates GetDuplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value);
  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  bool GetOwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  TNotifyEvent GetOnChanging() const { return FOnChanging; }
  void SetOnChanging(const TNotifyEvent& Value) { FOnChanging = Value; }

 protected:
  // Outside an update bracket these fire OnChanging/OnChange at once; inside one, OnChanging
  // fires before the first change and OnChange once when the outermost bracket closes.
  virtual void Changed();
  virtual void Changing();
  String Get(Integer Index) const override;
  void Put(Integer Index, const String& S) override;
  TObject* GetObject(Integer Index) const override;
  void PutObject(Integer Index, TObject* AObject) override;
  void SetUpdateState(bool Updating) override;
  // AnsiCompareStr or AnsiCompareText as CaseSensitive says.
  Integer CompareStrings(const String& S1, const String& S2) const override;
  virtual void InsertItem(Integer Index, const String& S, TObject* AObject);

 private:
  struct TStringItem {
    String FString;
    TObject* FObject;
  };
  void ExchangeItems(Integer Index1, Integer Index2);
  void QuickSort(Integer L, Integer R, TStringListSortCompare SCompare);

  std::vector<TStringItem> FList;
  TDuplicates FDuplicates = dupIgnore;
  bool FSorted = false;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
  bool FChangingFired = false;  // inside an update bracket
  bool FChangedWhileUpdating = false;
  TNotifyEvent FOnChange;
  TNotifyEvent FOnChanging;
};

// The framework's string list messages.
extern const wchar_t* const SDuplicateString;  // "String list does not allow duplicates"
extern const wchar_t* const SSortedListError;  // "Operation not allowed on sorted list"
