#include "framework/classes/ObjectText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <functional>
#include <memory>

#include "framework/WinApi.h"
#include "framework/classes/Reader.h"
#include "framework/classes/Streams.h"
#include "framework/classes/Writer.h"

namespace {

// ---- Binary to text ---------------------------------------------------------------------------

class TTextOut {
 public:
  explicit TTextOut(TStream* S) : FOut(S) {}
  void Str(const std::string& S) {
    if (!S.empty()) FOut->WriteBuffer(S.data(), Integer(S.size()));
  }
  void Str(const String& S) { Str(std::string(S.begin(), S.end())); }  // ASCII by construction
  void NewLine(Integer Indent) { Str("\r\n" + std::string(size_t(Indent) * 2, ' ')); }

 private:
  TStream* FOut;
};

std::string Ascii(const String& S) {
  std::string R;
  for (Char C : S) R += C < 0x80 ? char(C) : '?';
  return R;
}

// The shortest decimal text that reads back as the same value.
std::string FloatText(long double X) {
  if (std::isnan(X)) return "NAN";
  if (std::isinf(X)) return X < 0 ? "-INF" : "INF";
  char Buf[64];
  for (int P = 1; P <= 21; ++P) {
    __mingw_snprintf(Buf, sizeof Buf, "%.*Lg", P, X);
    if (std::strtold(Buf, nullptr) == X) break;
  }
  std::string S = Buf;
  for (auto& C : S)
    if (C == 'e') C = 'E';
  if (S.find_first_of(".E") == std::string::npos && S.find_first_of("0123456789") != std::string::npos) S += ".0";
  return S;
}

// A text form's line holds at most this many characters of a string; longer strings go on
// lines of their own, joined with "+".
constexpr size_t StringLineLength = 64;

// Nesting within one conversion, bounded like the reader's.
class TDepth {
 public:
  TDepth(Integer& Depth, const std::function<void()>& TooDeep) : FDepth(Depth) {
    if (++FDepth > MaxStreamNesting) {
      --FDepth;
      TooDeep();
    }
  }
  ~TDepth() { --FDepth; }
  TDepth(const TDepth&) = delete;
  TDepth& operator=(const TDepth&) = delete;

 private:
  Integer& FDepth;
};

class TBinaryToText {
 public:
  TBinaryToText(TStream* Input, TStream* Output) : FReader(Input), FOut(Output) {}

  void Convert() {
    FReader.ReadSignature();
    ConvertObject(0);
  }

 private:
  [[noreturn]] static void TooDeep() { throw EReadError(L"The component stream nests too deeply"); }

  // Quoted runs of printable ASCII; a quote and every other character as #nnn, so the text
  // stays ASCII. A string longer than a line starts on a line of its own and is cut into lines
  // joined with "+".
  void WriteString(const String& S, Integer Indent) {
    if (S.empty()) {
      FOut.Str("''");
      return;
    }
    if (S.size() > StringLineLength) FOut.NewLine(Indent + 1);
    auto Plain = [](Char C) { return C >= L' ' && C <= L'~' && C != L'\''; };
    size_t I = 0, LineStart = 0;
    std::string R;
    while (I < S.size()) {
      if (Plain(S[I])) {
        size_t J = I;
        do ++I;
        while (I < S.size() && Plain(S[I]) && I - LineStart < StringLineLength);
        R += '\'';
        R.append(S.begin() + J, S.begin() + I);
        R += '\'';
      } else {
        R += "#" + std::to_string(unsigned(S[I]));
        ++I;
      }
      if (I - LineStart >= StringLineLength && I < S.size()) {
        FOut.Str(R + " +");
        R.clear();
        FOut.NewLine(Indent + 1);
        LineStart = I;
      }
    }
    FOut.Str(R);
  }

  void ConvertObject(Integer Indent) {
    TDepth Depth(FDepth, TooDeep);
    TFilerFlags Flags;
    Integer Pos;
    FReader.ReadPrefix(Flags, Pos);
    String ClassName = FReader.ReadStr();
    String Name = FReader.ReadStr();
    FOut.Str(std::string(size_t(Indent) * 2, ' '));
    FOut.Str(Flags.Contains(ffInherited) ? "inherited " : Flags.Contains(ffInline) ? "inline " : "object ");
    if (!Name.empty()) FOut.Str(Ascii(Name) + ": ");
    FOut.Str(Ascii(ClassName));
    if (Flags.Contains(ffChildPos)) FOut.Str(" [" + std::to_string(Pos) + "]");
    FOut.Str("\r\n");
    while (!FReader.EndOfList()) ConvertProperty(Indent + 1);
    FReader.ReadListEnd();
    while (!FReader.EndOfList()) ConvertObject(Indent + 1);
    FReader.ReadListEnd();
    FOut.Str(std::string(size_t(Indent) * 2, ' ') + "end\r\n");
  }

  void ConvertProperty(Integer Indent) {
    FOut.Str(std::string(size_t(Indent) * 2, ' ') + Ascii(FReader.ReadStr()) + " = ");
    ConvertValue(Indent);
    FOut.Str("\r\n");
  }

  void ConvertValue(Integer Indent) {
    switch (FReader.NextValue()) {
      case vaList: {
        TDepth Depth(FDepth, TooDeep);
        FReader.ReadValue();
        FOut.Str("(");
        while (!FReader.EndOfList()) {
          FOut.NewLine(Indent + 1);
          ConvertValue(Indent + 1);
        }
        FReader.ReadListEnd();
        FOut.Str(")");
        break;
      }
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64:
        FOut.Str(std::to_string(FReader.ReadInt64()));
        break;
      case vaExtended:
      case vaDouble:
        FOut.Str(FloatText(FReader.ReadFloat()));
        break;
      case vaSingle:
        FOut.Str(FloatText(FReader.ReadSingle()) + "s");
        break;
      case vaCurrency:
        // Currency is written as its value times 10,000, exactly.
        FOut.Str(std::to_string(FReader.ReadCurrency().Raw()) + "c");
        break;
      case vaDate:
        FOut.Str(FloatText(FReader.ReadDate().Val) + "d");
        break;
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String:
        WriteString(FReader.ReadString(), Indent);
        break;
      case vaIdent:
      case vaFalse:
      case vaTrue:
      case vaNil:
      case vaNull:
        FOut.Str(Ascii(FReader.ReadIdent()));
        break;
      case vaBinary: {
        TBytes B = FReader.ReadBinary();
        FOut.Str("{");
        static const char Hex[] = "0123456789ABCDEF";
        // Short data stays on the property's line; longer data starts on the next, 32 bytes to a
        // line, each line written whole.
        const std::string Lead = B.size() < 32 ? std::string() : "\r\n" + std::string(size_t(Indent + 1) * 2, ' ');
        std::string Line;
        for (size_t I = 0; I < B.size(); I += 32) {
          Line = Lead;
          for (size_t J = I; J < std::min(B.size(), I + 32); ++J) {
            Line += Hex[B[J] >> 4];
            Line += Hex[B[J] & 15];
          }
          FOut.Str(Line);
        }
        FOut.Str("}");
        break;
      }
      case vaSet: {
        FReader.ReadValue();
        FOut.Str("[");
        bool First = true;
        for (;;) {
          String S = FReader.ReadStr();
          if (S.empty()) break;
          if (!First) FOut.Str(", ");
          FOut.Str(Ascii(S));
          First = false;
        }
        FOut.Str("]");
        break;
      }
      case vaCollection: {
        TDepth Depth(FDepth, TooDeep);
        FReader.ReadValue();
        FOut.Str("<");
        while (!FReader.EndOfList()) {
          FOut.NewLine(Indent + 1);
          FOut.Str("item");
          if (TValueType V = FReader.NextValue(); V == vaInt8 || V == vaInt16 || V == vaInt32)
            FOut.Str(" [" + std::to_string(FReader.ReadInteger()) + "]");
          FReader.CheckValue(vaList);
          FOut.Str("\r\n");
          while (!FReader.EndOfList()) ConvertProperty(Indent + 2);
          FReader.ReadListEnd();
          FOut.Str(std::string(size_t(Indent + 1) * 2, ' ') + "end");
        }
        FReader.ReadListEnd();
        FOut.Str(">");
        break;
      }
      default:
        FReader.SkipValue();  // raises for what it does not know
    }
  }

  TReader FReader;
  TTextOut FOut;
  Integer FDepth = 0;
};

// ---- Text to binary ---------------------------------------------------------------------------

String DecodeText(const std::string& B) {
  if (B.size() >= 3 && Byte(B[0]) == 0xEF && Byte(B[1]) == 0xBB && Byte(B[2]) == 0xBF) return UTF8ToString(B.substr(3));
  if (B.size() >= 2 && Byte(B[0]) == 0xFF && Byte(B[1]) == 0xFE) {
    String S((B.size() - 2) / 2, L'\0');
    std::memcpy(S.data(), B.data() + 2, S.size() * 2);
    return S;
  }
  if (B.empty()) return String();
  // Valid UTF-8 (plain ASCII included) is taken as such; anything else is the ANSI code page.
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, B.data(), int(B.size()), nullptr, 0) > 0) return UTF8ToString(B);
  int N = MultiByteToWideChar(CP_ACP, 0, B.data(), int(B.size()), nullptr, 0);
  String S(size_t(N), L'\0');
  MultiByteToWideChar(CP_ACP, 0, B.data(), int(B.size()), S.data(), N);
  return S;
}

enum TToken { tkEOF, tkSymbol, tkName, tkInt, tkFloatNum, tkStringTok };

class TTextToBinary {
 public:
  TTextToBinary(const String& Text, TStream* Output) : FText(Text), FWriter(Output) {}

  void Convert() {
    Next();
    FWriter.WriteSignature();
    ConvertObject();
  }

 private:
  [[noreturn]] void Error(const String& Msg) {
    throw EParserError(Msg + L" on line " + std::to_wstring(FLine));
  }

  void Next() {
    const size_t N = FText.size();
    for (;;) {
      while (FPos < N && (FText[FPos] == L' ' || FText[FPos] == L'\t' || FText[FPos] == L'\r' || FText[FPos] == L'\n')) {
        if (FText[FPos] == L'\n') ++FLine;
        ++FPos;
      }
      break;
    }
    FValue.clear();
    if (FPos >= N) {
      FToken = tkEOF;
      return;
    }
    Char C = FText[FPos];
    if (IsNonFinite(FPos)) {
      // INF and NAN, as infinities and NaN are written, optionally with a single or date suffix.
      FValue = FText.substr(FPos, 3);
      FPos += 3;
      FToken = tkFloatNum;
      FSuffix = 0;
      if (FPos < N && (FText[FPos] == L's' || FText[FPos] == L'S' || FText[FPos] == L'd' || FText[FPos] == L'D'))
        FSuffix = Char(std::towlower(FText[FPos++]));
    } else if (C == L'_' || std::iswalpha(C)) {
      size_t S = FPos;
      while (FPos < N && (FText[FPos] == L'_' || FText[FPos] == L'.' || std::iswalpha(FText[FPos]) ||
                          IsAsciiDigit(FText[FPos])))
        ++FPos;
      FValue = FText.substr(S, FPos - S);
      FToken = tkName;
    } else if (C == L'\'' || C == L'#') {
      String V;
      while (FPos < N && (FText[FPos] == L'\'' || FText[FPos] == L'#')) {
        if (FText[FPos] == L'#') {
          ++FPos;
          size_t S = FPos;
          while (FPos < N && IsAsciiDigit(FText[FPos])) ++FPos;
          if (S == FPos) Error(L"Invalid character code");
          V += Char(std::wcstoul(FText.substr(S, FPos - S).c_str(), nullptr, 10));
        } else {
          ++FPos;
          for (;;) {
            if (FPos >= N || FText[FPos] == L'\n') Error(L"Unterminated string");
            if (FText[FPos] == L'\'') {
              if (FPos + 1 < N && FText[FPos + 1] == L'\'') {
                V += L'\'';
                FPos += 2;
                continue;
              }
              ++FPos;
              break;
            }
            V += FText[FPos++];
          }
        }
      }
      FValue = V;
      FToken = tkStringTok;
    } else if (IsAsciiDigit(C) || C == L'-' || C == L'$') {
      size_t S = FPos;
      if (C == L'-') ++FPos;
      FSuffix = 0;
      if (IsNonFinite(FPos)) {
        FPos += 3;
        FToken = tkFloatNum;
      } else if (FPos < N && FText[FPos] == L'$') {
        ++FPos;
        while (FPos < N && HexDigitValue(FText[FPos]) >= 0) ++FPos;
        FToken = tkInt;
      } else {
        FToken = tkInt;
        while (FPos < N && IsAsciiDigit(FText[FPos])) ++FPos;
        if (FPos < N && FText[FPos] == L'.') {
          FToken = tkFloatNum;
          ++FPos;
          while (FPos < N && IsAsciiDigit(FText[FPos])) ++FPos;
        }
        if (FPos < N && (FText[FPos] == L'E' || FText[FPos] == L'e')) {
          FToken = tkFloatNum;
          ++FPos;
          if (FPos < N && (FText[FPos] == L'+' || FText[FPos] == L'-')) ++FPos;
          while (FPos < N && IsAsciiDigit(FText[FPos])) ++FPos;
        }
      }
      FValue = FText.substr(S, FPos - S);
      if (FPos < N && std::wcschr(L"sScCdD", FText[FPos]) && FText[FPos] != 0) {
        FToken = tkFloatNum;
        FSuffix = Char(std::towlower(FText[FPos++]));
      }
    } else {
      FToken = tkSymbol;
      FValue = String(1, C);
      ++FPos;
    }
  }

  // INF or NAN at P as a whole word (a suffix s or d may follow).
  bool IsNonFinite(size_t P) const {
    const size_t N = FText.size();
    if (N - P < 3 || P > N) return false;
    String W = FText.substr(P, 3);
    for (auto& C : W) C = Char(std::towupper(C));
    if (W != L"INF" && W != L"NAN") return false;
    size_t E = P + 3;
    if (E < N && (FText[E] == L's' || FText[E] == L'S' || FText[E] == L'd' || FText[E] == L'D')) ++E;
    return E >= N || !(FText[E] == L'_' || FText[E] == L'.' || std::iswalnum(FText[E]));
  }

  bool IsSymbol(Char C) const { return FToken == tkSymbol && FValue[0] == C; }
  void Expect(Char C) {
    if (!IsSymbol(C)) Error(String(L"'") + C + L"' expected");
    Next();
  }
  bool IsWord(const wchar_t* W) const {
    if (FToken != tkName) return false;
    return SameIdent(FValue, W);
  }
  String TakeName() {
    if (FToken != tkName) Error(L"Identifier expected");
    if (UTF8Encode(FValue).size() > 255) Error(L"Identifier too long");
    String V = FValue;
    Next();
    return V;
  }
  Int64 TakeInt() {
    if (FToken != tkInt) Error(L"Integer expected");
    Int64 V = ParseInt(FValue);
    Next();
    return V;
  }
  // A decimal number in the Int64 range, or $ and up to 16 hex digits (the bits of an Int64);
  // anything else, an empty number or one out of range, is a syntax error.
  Int64 ParseInt(const String& S) {
    bool Neg = !S.empty() && S[0] == L'-';
    String D = Neg ? S.substr(1) : S;
    bool Hex = !D.empty() && D[0] == L'$';
    if (Hex) D = D.substr(1);
    if (D.empty()) Error(L"Invalid number '" + S + L"'");
    std::uint64_t V = 0;
    for (Char C : D) {
      unsigned Digit = std::iswdigit(C) ? unsigned(C - L'0') : unsigned(std::towupper(C) - L'A' + 10);
      std::uint64_t Base = Hex ? 16 : 10;
      if (V > (UINT64_MAX - Digit) / Base) Error(L"Number out of range: " + S);
      V = V * Base + Digit;
    }
    if (!Hex && V > (Neg ? std::uint64_t(1) << 63 : std::uint64_t(INT64_MAX))) Error(L"Number out of range: " + S);
    return Neg ? Int64(0 - V) : Int64(V);
  }

  // A float token's number (without its suffix); INF, -INF and NAN as written for those values.
  long double ParseFloat(const String& S) {
    String U = S;
    for (auto& C : U) C = Char(std::towupper(C));
    if (U == L"INF") return HUGE_VALL;
    if (U == L"-INF") return -HUGE_VALL;
    if (U == L"NAN" || U == L"-NAN") return std::nanl("");
    std::string A(S.begin(), S.end());
    if (A.empty() || A == "-" || A.find('$') != std::string::npos) Error(L"Invalid number '" + S + L"'");
    char* End = nullptr;
    errno = 0;
    long double X = std::strtold(A.c_str(), &End);
    if (End != A.c_str() + A.size()) Error(L"Invalid number '" + S + L"'");
    if (std::isinf(X)) Error(L"Number out of range: " + S);
    return X;
  }

  // Currency is written as its value times 10,000: exact when it is a whole number.
  Currency ParseCurrency(const String& S) {
    if (S.find_first_of(L".eEIiNn") == String::npos) return Currency::FromRaw(ParseInt(S));
    long double X = ParseFloat(S);
    if (std::isnan(X) || std::fabs(X) >= 9.2233720368547758e18L) Error(L"Number out of range: " + S);
    return Currency::FromRaw(Int64(std::llroundl(X)));
  }

  [[noreturn]] void TooDeep() { Error(L"The text nests too deeply"); }

  void ConvertObject() {
    TDepth Depth(FDepth, [this] { TooDeep(); });
    TFilerFlags Flags;
    if (IsWord(L"inherited"))
      Flags << ffInherited;
    else if (IsWord(L"inline"))
      Flags << ffInline;
    else if (!IsWord(L"object"))
      Error(L"'object' expected");
    Next();
    String Name = TakeName();
    String ClassName;
    if (IsSymbol(L':')) {
      Next();
      ClassName = TakeName();
    } else {
      ClassName = Name;
      Name.clear();
    }
    Integer Pos = 0;
    if (IsSymbol(L'[')) {
      Next();
      Int64 P = TakeInt();
      if (P < INT32_MIN || P > INT32_MAX) Error(L"Number out of range: " + std::to_wstring(P));
      Pos = Integer(P);
      Flags << ffChildPos;
      Expect(L']');
    }
    FWriter.WritePrefix(Flags, Pos);
    FWriter.WriteStr(ClassName);
    FWriter.WriteStr(Name);
    while (!IsWord(L"end") && !IsWord(L"object") && !IsWord(L"inherited") && !IsWord(L"inline")) ConvertProperty();
    FWriter.WriteListEnd();
    while (!IsWord(L"end")) ConvertObject();
    FWriter.WriteListEnd();
    Next();
  }

  void ConvertProperty() {
    if (FToken == tkEOF) Error(L"'end' expected");
    String Name = TakeName();
    FWriter.WriteStr(Name);
    Expect(L'=');
    ConvertValue();
  }

  void ConvertValue() {
    switch (FToken) {
      case tkInt:
        FWriter.WriteInteger(TakeInt());
        return;
      case tkFloatNum: {
        Char S = FSuffix;
        if (S == L'c') {
          Currency C = ParseCurrency(FValue);
          Next();
          FWriter.WriteCurrency(C);
          return;
        }
        long double X = ParseFloat(FValue);
        if (S == L's' && std::isfinite(X) && std::fabs(X) > 3.40282346638528859812e+38L) Error(L"Number out of range: " + FValue);
        Next();
        if (S == L's')
          FWriter.WriteSingle(float(X));
        else if (S == L'd')
          FWriter.WriteDate(TDateTime(double(X)));
        else
          FWriter.WriteFloat(X);
        return;
      }
      case tkStringTok: {
        String V = FValue;
        Next();
        while (IsSymbol(L'+')) {  // 'long ' + 'text'
          Next();
          if (FToken != tkStringTok) Error(L"String expected");
          V += FValue;
          Next();
        }
        FWriter.WriteString(V);
        return;
      }
      case tkName:
        FWriter.WriteIdent(TakeName());
        return;
      default:
        break;
    }
    if (IsSymbol(L'[')) {
      Next();
      FWriter.WriteValue(vaSet);
      while (!IsSymbol(L']')) {
        FWriter.WriteStr(TakeName());
        if (IsSymbol(L',')) Next();
        else if (!IsSymbol(L']')) Error(L"']' expected");
      }
      Next();
      FWriter.WriteStr(String());
    } else if (IsSymbol(L'(')) {
      TDepth Depth(FDepth, [this] { TooDeep(); });
      Next();
      FWriter.WriteListBegin();
      while (!IsSymbol(L')')) {
        if (FToken == tkEOF) Error(L"')' expected");
        ConvertValue();
      }
      Next();
      FWriter.WriteListEnd();
    } else if (IsSymbol(L'{')) {
      // Hex digits up to the closing brace, across lines.
      TBytes B;
      int Half = -1;
      const size_t N = FText.size();
      for (;; ++FPos) {
        if (FPos >= N) Error(L"'}' expected");
        Char C = FText[FPos];
        if (C == L'}') break;
        if (C == L'\n') ++FLine;
        if (std::iswspace(C)) continue;
        int D = HexDigitValue(C);
        if (D < 0) Error(L"Invalid binary value");
        if (Half < 0)
          Half = D;
        else {
          B.push_back(Byte(Half * 16 + D));
          Half = -1;
        }
      }
      if (Half >= 0) Error(L"Invalid binary value");
      ++FPos;
      Next();
      FWriter.WriteBinary(B.data(), Integer(B.size()));
    } else if (IsSymbol(L'<')) {
      TDepth Depth(FDepth, [this] { TooDeep(); });
      Next();
      FWriter.WriteValue(vaCollection);
      while (!IsSymbol(L'>')) {
        if (!IsWord(L"item")) Error(L"'item' expected");
        Next();
        if (IsSymbol(L'[')) {
          Next();
          FWriter.WriteInteger(TakeInt());
          Expect(L']');
        }
        FWriter.WriteListBegin();
        while (!IsWord(L"end")) ConvertProperty();
        Next();
        FWriter.WriteListEnd();
      }
      Next();
      FWriter.WriteListEnd();
    } else {
      Error(L"Invalid property value");
    }
  }

  const String& FText;
  size_t FPos = 0;
  Integer FLine = 1;
  TToken FToken = tkEOF;
  String FValue;
  Char FSuffix = 0;
  TWriter FWriter;
  Integer FDepth = 0;
};

std::string ReadRest(TStream* S) {
  std::string B;
  char Buf[4096];
  for (Integer N; (N = S->Read(Buf, sizeof Buf)) > 0;) B.append(Buf, size_t(N));
  return B;
}

void WriteResHeader(TStream* Stream, const String& ResName, Int64& SizePos) {
  Byte Head[3] = {0xFF, 10, 0};  // ordinal type RT_RCDATA
  Stream->WriteBuffer(Head, 3);
  String Upper = ResName;
  for (auto& C : Upper) C = Char(std::towupper(C));
  std::string A = Ascii(Upper);
  Stream->WriteBuffer(A.c_str(), Integer(A.size() + 1));
  Word Flags = 0x1030;
  Stream->WriteBuffer(&Flags, 2);
  SizePos = Stream->GetPosition();
  Cardinal Size = 0;
  Stream->WriteBuffer(&Size, 4);
}

void FixResHeader(TStream* Stream, Int64 SizePos) {
  Int64 End = Stream->GetPosition();
  Cardinal Size = Cardinal(End - SizePos - 4);
  Stream->SetPosition(SizePos);
  Stream->WriteBuffer(&Size, 4);
  Stream->SetPosition(End);
}

}  // namespace

void ObjectBinaryToText(TStream* Input, TStream* Output) { TBinaryToText(Input, Output).Convert(); }

void ObjectTextToBinary(TStream* Input, TStream* Output) {
  String Text = DecodeText(ReadRest(Input));
  TTextToBinary(Text, Output).Convert();
}

void TStream::ReadResHeader() {
  Byte B;
  ReadBuffer(&B, 1);
  if (B != 0xFF) throw EInvalidImage(L"Invalid stream format: no resource header");
  Word Type;
  ReadBuffer(&Type, 2);
  if (Type != 10) throw EInvalidImage(L"Invalid stream format: not an RCDATA resource");
  do ReadBuffer(&B, 1);
  while (B != 0);
  Byte Rest[6];
  ReadBuffer(Rest, 6);  // flags and size
}

void ObjectResourceToText(TStream* Input, TStream* Output) {
  Input->ReadResHeader();
  ObjectBinaryToText(Input, Output);
}

void ObjectTextToResource(TStream* Input, TStream* Output) {
  TMemoryStream M;
  ObjectTextToBinary(Input, &M);
  M.SetPosition(0);
  TReader R(&M);
  R.ReadSignature();
  TFilerFlags F;
  Integer P;
  R.ReadPrefix(F, P);
  String ClassName = R.ReadStr();
  Int64 SizePos;
  WriteResHeader(Output, ClassName, SizePos);
  Output->WriteBuffer(M.GetMemory(), Integer(M.GetSize()));
  FixResHeader(Output, SizePos);
}

TStreamOriginalFormat TestStreamFormat(TStream* Stream) {
  Int64 Pos = Stream->GetPosition();
  char B[16] = {};
  Integer N = Stream->Read(B, sizeof B);
  Stream->SetPosition(Pos);
  if (N >= 1 && Byte(B[0]) == 0xFF) return sofBinary;
  if (N >= 4 && std::memcmp(B, "TPF0", 4) == 0) return sofBinary;
  auto IsTextStart = [](const char* P, Integer Len) {
    Integer I = 0;
    while (I < Len && (P[I] == ' ' || P[I] == '\t' || P[I] == '\r' || P[I] == '\n')) ++I;
    std::string W(P + I, P + Len);
    for (auto& C : W) C = char(std::tolower(Byte(C)));
    return W.rfind("object", 0) == 0 || W.rfind("inherited", 0) == 0 || W.rfind("inline", 0) == 0 ||
           (Len - I < 6 && Len - I > 0 && (std::string("object").rfind(W, 0) == 0));
  };
  if (N >= 3 && Byte(B[0]) == 0xEF && Byte(B[1]) == 0xBB && Byte(B[2]) == 0xBF)
    return IsTextStart(B + 3, N - 3) ? sofUTF8Text : sofUnknown;
  if (N > 0 && IsTextStart(B, N)) return sofText;
  return sofUnknown;
}

TComponent* ReadComponentFromStream(TStream* Stream, TComponent* Instance) {
  TStreamOriginalFormat F = TestStreamFormat(Stream);
  if (F == sofText || F == sofUTF8Text) {
    TMemoryStream M;
    ObjectTextToBinary(Stream, &M);
    M.SetPosition(0);
    TReader R(&M);
    return R.ReadRootComponent(Instance);
  }
  if (F == sofUnknown) throw EInvalidImage(L"Invalid stream format");
  TReader R(Stream);
  return R.ReadRootComponent(Instance);
}

TComponent* TStream::ReadComponent(TComponent* Instance) {
  TReader R(this);
  return R.ReadRootComponent(Instance);
}

void TStream::WriteComponent(TComponent* Instance) {
  TWriter W(this);
  W.WriteRootComponent(Instance);
}

void TStream::WriteDescendent(TComponent* Instance, TComponent* Ancestor) {
  TWriter W(this);
  W.WriteDescendent(Instance, Ancestor);
}

void TStream::WriteDescendentRes(const String& ResName, TComponent* Instance, TComponent* Ancestor) {
  Int64 SizePos;
  WriteResHeader(this, ResName, SizePos);
  WriteDescendent(Instance, Ancestor);
  FixResHeader(this, SizePos);
}

void TStream::WriteComponentRes(const String& ResName, TComponent* Instance) { WriteDescendentRes(ResName, Instance, nullptr); }

TComponent* TStream::ReadComponentRes(TComponent* Instance) {
  ReadResHeader();
  return ReadComponent(Instance);
}

TComponent* ReadComponentResFile(const String& FileName, TComponent* Instance) {
  HANDLE H = CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (H == INVALID_HANDLE_VALUE) throw EFOpenError(L"Cannot open file \"" + FileName + L"\"");
  std::string B;
  char Buf[4096];
  DWORD N = 0;
  while (ReadFile(H, Buf, sizeof Buf, &N, nullptr) && N > 0) B.append(Buf, N);
  CloseHandle(H);
  TMemoryStream M;
  if (!B.empty()) M.Write(B.data(), Integer(B.size()));
  M.SetPosition(0);
  return M.ReadComponentRes(Instance);
}

void WriteComponentResFile(const String& FileName, TComponent* Instance) {
  TMemoryStream M;
  M.WriteComponentRes(Instance->ClassName(), Instance);
  HANDLE H = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (H == INVALID_HANDLE_VALUE) throw EFCreateError(L"Cannot create file \"" + FileName + L"\"");
  DWORD W = 0;
  bool Ok = WriteFile(H, M.GetMemory(), DWORD(M.GetSize()), &W, nullptr) && W == DWORD(M.GetSize());
  CloseHandle(H);
  if (!Ok) throw EWriteError(L"Cannot write file \"" + FileName + L"\"");
}

bool InternalReadComponentRes(const String& ResName, NativeUInt HInst, TComponent*& Instance) {
  HMODULE M = reinterpret_cast<HMODULE>(HInst);
  if (!FindResourceW(M, ResName.c_str(), MAKEINTRESOURCEW(10))) return false;
  TResourceStream S(HInst, ResName, MAKEINTRESOURCEW(10));
  Instance = ReadComponentFromStream(&S, Instance);
  return true;
}

TComponent* ReadComponentRes(const String& ResName, TComponent* Instance) {
  if (!InternalReadComponentRes(ResName, HInstance(), Instance))
    throw EResNotFound(L"Resource " + ResName + L" not found");
  return Instance;
}

bool InitInheritedComponent(TComponent* Instance, TClass RootAncestor) {
  struct TInit {
    TComponent* Instance;
    TClass RootAncestor;
    bool Run(TClass C) {
      if (!C || C == TComponent::StaticClass() || C == RootAncestor) return false;
      bool Result = Run(C->ClassParent());
      TComponent* I = Instance;
      return InternalReadComponentRes(C->ClassName(), HInstance(), I) || Result;
    }
  };
  return TInit{Instance, RootAncestor}.Run(Instance->ClassType());
}
