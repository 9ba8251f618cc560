#include "framework/themes/StyleData.h"

#include "framework/SysUtils.h"

namespace {
[[noreturn]] void Fail(Integer Line, const String& What) {
  throw EStyleEngineException(Format(L"Invalid style, line %d: %s", {Line, What}));
}

// "#RRGGBB", as web pages write colours.
TColor ParseColor(const String& S, Integer Line) {
  String T = Trim(S);
  if (T.size() != 7 || T[0] != L'#') Fail(Line, L"a colour is written #RRGGBB, not \"" + T + L"\"");
  Integer V = 0;
  for (size_t I = 1; I < 7; ++I) {
    wchar_t C = T[I];
    Integer D = C >= L'0' && C <= L'9' ? C - L'0' : C >= L'a' && C <= L'f' ? C - L'a' + 10
              : C >= L'A' && C <= L'F' ? C - L'A' + 10 : -1;
    if (D < 0) Fail(Line, L"a colour is written #RRGGBB, not \"" + T + L"\"");
    V = V * 16 + D;
  }
  return RGB(Byte(V >> 16), Byte(V >> 8), Byte(V));
}

// "fill #112233, border #445566, radius 2"
TElementStyle ParseElement(const String& S, Integer Line) {
  TElementStyle E;
  size_t Start = 0;
  while (Start <= S.size()) {
    size_t End = S.find(L',', Start);
    if (End == String::npos) End = S.size();
    String Item = Trim(S.substr(Start, End - Start));
    Start = End + 1;
    if (Item.empty()) continue;
    size_t Space = Item.find(L' ');
    if (Space == String::npos) Fail(Line, L"\"" + Item + L"\" has no value");
    String Key = Item.substr(0, Space), Value = Trim(Item.substr(Space + 1));
    if (SameText(Key, L"radius")) {
      Integer R;
      if (!TryStrToInt(Value, R) || R < 0 || R > 16) Fail(Line, L"a radius is 0 to 16");
      E.Radius = R;
      continue;
    }
    TColor C = ParseColor(Value, Line);
    if (SameText(Key, L"fill")) E.Fill = C;
    else if (SameText(Key, L"fill2")) E.Fill2 = C;
    else if (SameText(Key, L"border")) E.Border = C;
    else if (SameText(Key, L"text")) E.Text = C;
    else if (SameText(Key, L"glyph")) E.Glyph = C;
    else if (SameText(Key, L"highlight")) E.EdgeHighlight = C;
    else if (SameText(Key, L"shadow")) E.EdgeShadow = C;
    else Fail(Line, L"unknown element parameter \"" + Key + L"\"");
  }
  return E;
}
}  // namespace

TStyleData::TStyleData() {
  for (TColor& C : SystemColors) C = clNone;
  for (TColor& C : StyleColors) C = clNone;
  for (TColor& C : FontColors) C = clNone;
}

std::unique_ptr<TStyleData> TStyleData::Parse(const String& Text) {
  auto Data = std::make_unique<TStyleData>();
  String Section;
  Integer LineNo = 0;
  size_t Pos = 0;
  while (Pos < Text.size()) {
    size_t End = Text.find(L'\n', Pos);
    if (End == String::npos) End = Text.size();
    String Line = Trim(Text.substr(Pos, End - Pos));
    Pos = End + 1;
    ++LineNo;
    if (LineNo == 1 && !Line.empty() && Line[0] == 0xFEFF) Line.erase(0, 1);
    if (Line.empty() || Line[0] == L';' || Line[0] == L'#') continue;
    if (Line[0] == L'[') {
      if (Line.back() != L']') Fail(LineNo, L"a section name ends with ]");
      Section = Trim(Line.substr(1, Line.size() - 2));
      if (!SameText(Section, L"Style") && !SameText(Section, L"SystemColors") &&
          !SameText(Section, L"StyleColors") && !SameText(Section, L"StyleFonts") && !SameText(Section, L"Elements"))
        Fail(LineNo, L"unknown section [" + Section + L"]");
      continue;
    }
    size_t Eq = Line.find(L'=');
    if (Eq == String::npos) Fail(LineNo, L"a line is \"name = value\"");
    String Key = Trim(Line.substr(0, Eq)), Value = Trim(Line.substr(Eq + 1));
    if (Section.empty()) Fail(LineNo, L"\"" + Key + L"\" stands before any section");
    if (SameText(Section, L"Style")) {
      if (SameText(Key, L"Name")) Data->Name = Value;
      else if (SameText(Key, L"Author")) Data->Author = Value;
      else if (SameText(Key, L"Description")) Data->Description = Value;
      else Fail(LineNo, L"unknown style property \"" + Key + L"\"");
    } else if (SameText(Section, L"SystemColors")) {
      Integer C;
      if (!IdentToColor(Key, C) || (C & 0xFF000000) != Integer(clSystemColor) || (C & 0xFF) > 30)
        Fail(LineNo, L"\"" + Key + L"\" is not a system colour");
      Data->SystemColors[C & 0xFF] = ParseColor(Value, LineNo);
    } else if (SameText(Section, L"StyleColors")) {
      TStyleColor C;
      if (!FindStyleColor(Key, C)) Fail(LineNo, L"\"" + Key + L"\" is not a style colour");
      Data->StyleColors[C] = ParseColor(Value, LineNo);
    } else if (SameText(Section, L"StyleFonts")) {
      TStyleFont F;
      if (!FindStyleFont(Key, F)) Fail(LineNo, L"\"" + Key + L"\" is not a style font colour");
      Data->FontColors[F] = ParseColor(Value, LineNo);
    } else {
      TThemedElementDetails D;
      if (!FindElementDetails(Key, D)) Fail(LineNo, L"\"" + Key + L"\" is not an element");
      Data->Elements[{D.Element, D.Part, D.State}] = ParseElement(Value, LineNo);
    }
  }
  if (Data->Name.empty()) throw EStyleEngineException(L"Invalid style: it has no name");
  return Data;
}

const TElementStyle* TStyleData::FindElement(const TThemedElementDetails& Details) const {
  auto It = Elements.find({Details.Element, Details.Part, Details.State});
  if (It != Elements.end()) return &It->second;
  // A state the style leaves out looks like the part's first state.
  It = Elements.lower_bound({Details.Element, Details.Part, 0});
  if (It != Elements.end() && std::get<0>(It->first) == Details.Element && std::get<1>(It->first) == Details.Part)
    return &It->second;
  return nullptr;
}
