#include "kvlib/memtable/memtabledata/Collation.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "framework/WinApi.h"

// The system's key of one character has five parts, each ended by 1 (the last by 0): the weights
// of its letters (two bytes each), their accents and their case (one byte each, the plain 2s at the
// end left out), a part for kana and widths, and the places and weights of the characters the first
// levels pass over (hyphens, apostrophes, controls). A text's key is the characters' parts laid
// side by side, with the places counted in letters; a combining accent adds its weight to the
// accent of the letter before it. Each UTF-16 value's parts are taken from the system once.

namespace {

constexpr LCID TurkishCollationLcid = 0x041F;
constexpr Byte CollPlain = 2;  // the accent and case weight of a plain letter

enum TCollKind : Byte {
  ckIgnore,     // no weight at any level (a soft hyphen, a joiner)
  ckLetters,    // weighted letters: their weights' units and, per letter, accent and case
  ckAccent,     // a combining accent: adds to the accent of the letter before
  ckPassedOver, // a hyphen, an apostrophe, a control: only its place counts, after the rest
  ckByCode      // weights that do not come apart per character: after all others, by code
};

// One UTF-16 value. A plain letter (one unit of weight, one place) is held in place; the rest
// (an expansion such as ß, the four-byte weights of ideographs, a passed-over character's bytes)
// in the side table from Side: the units after the first, then accent and case per place.
struct TCollUnit {
  Word First = 0;
  Byte Accent = CollPlain;
  Byte Case = CollPlain;
  TCollKind Kind = ckIgnore;
  Byte Units = 0;   // units of weight, or bytes of a passed-over weight
  Byte Places = 0;  // the places it takes at the accent and case levels
  Cardinal Side = 0;
};

struct TCollTable {
  TCollUnit Units[65536];
  std::vector<Word> Side;
};

struct TCollParsed {
  std::vector<Word> Weights;
  std::vector<Byte> Accents, Cases, Passed;
};

// Splits the system's key of one character into its parts; false when it has a kana part or bytes
// the parts cannot hold.
bool CollSplitKey(const Byte* K, size_t N, TCollParsed& P) {
  P = {};
  size_t I = 0;
  while (I < N && K[I] != 1) {
    if (I + 1 >= N || K[I] < 2 || K[I + 1] == 0) return false;
    P.Weights.push_back(Word((K[I] << 8) | K[I + 1]));
    I += 2;
  }
  if (I >= N) return false;
  for (++I; I < N && K[I] != 1; ++I) P.Accents.push_back(K[I]);
  if (I >= N) return false;
  for (++I; I < N && K[I] != 1; ++I) P.Cases.push_back(K[I]);
  if (I + 1 >= N || K[I + 1] != 1) return false;  // the kana and width part must be empty
  for (I += 2; I < N && K[I] != 0; ++I) P.Passed.push_back(K[I]);
  for (Byte B : P.Accents)
    if (B < 2) return false;
  for (Byte B : P.Cases)
    if (B < 2) return false;
  return I + 1 == N;
}

int CollSystemKey(const wchar_t* S, int N, Byte* Key, int Size) {
  return LCMapStringW(TurkishCollationLcid, LCMAP_SORTKEY, S, N, reinterpret_cast<wchar_t*>(Key), Size);
}

// Reads one UTF-16 value's parts from the system into U; false when they do not fit the model.
bool CollReadUnit(Word C, TCollUnit& U, std::vector<Word>& Side) {
  Byte Key[256];
  wchar_t W[2] = {wchar_t(C), L'A'};
  int N = CollSystemKey(W, 1, Key, sizeof(Key));
  TCollParsed P;
  if (N <= 0 || !CollSplitKey(Key, size_t(N), P)) return false;
  if (P.Weights.empty()) {
    if (!P.Cases.empty()) return false;
    if (P.Accents.size() == 1 && P.Passed.empty()) {
      U.Kind = ckAccent;
      U.Accent = P.Accents[0];
      return true;
    }
    if (!P.Accents.empty()) return false;
    if (P.Passed.empty()) {
      U.Kind = ckIgnore;
      return true;
    }
    // Its place (FF FF, first) and its weight bytes.
    if (P.Passed.size() < 3 || P.Passed[0] != 0xFF || P.Passed[1] != 0xFF || P.Passed.size() - 2 > 255) return false;
    U.Kind = ckPassedOver;
    U.Units = Byte(P.Passed.size() - 2);
    U.Side = Cardinal(Side.size());
    Side.insert(Side.end(), P.Passed.begin() + 2, P.Passed.end());
    return true;
  }
  if (!P.Passed.empty() || P.Weights.size() > 255) return false;
  // The places a letter takes: a capital A after it shows them all at the case level.
  size_t Places = 1;
  if (P.Weights.size() > 1) {
    TCollParsed With;
    int M = CollSystemKey(W, 2, Key, sizeof(Key));
    if (M <= 0 || !CollSplitKey(Key, size_t(M), With) || With.Cases.empty() || With.Cases.back() != 0x12) return false;
    Places = With.Cases.size() - 1;
    if (Places == 0 || Places > P.Weights.size() || With.Weights.size() != P.Weights.size() + 1) return false;
  }
  if (P.Accents.size() > Places || P.Cases.size() > Places) return false;
  P.Accents.resize(Places, CollPlain);
  P.Cases.resize(Places, CollPlain);
  U.Kind = ckLetters;
  U.First = P.Weights[0];
  U.Accent = P.Accents[0];
  U.Case = P.Cases[0];
  U.Units = Byte(P.Weights.size());
  U.Places = Byte(Places);
  if (U.Units > 1 || Places > 1) {
    U.Side = Cardinal(Side.size());
    Side.insert(Side.end(), P.Weights.begin() + 1, P.Weights.end());
    for (size_t K = 0; K < Places; ++K) Side.push_back(Word((P.Accents[K] << 8) | P.Cases[K]));
  }
  return true;
}

TCollTable* CollBuildTable() {
  auto* T = new TCollTable();
  for (Cardinal C = 0; C < 65536; ++C) {
    TCollUnit& U = T->Units[C];
    if (!CollReadUnit(Word(C), U, T->Side)) U = {0, CollPlain, CollPlain, ckByCode, 2, 2, 0};
  }
  // The Turkish alphabet for the i family: ı a letter of its own right before i (on a weight no
  // other character takes), I the capital of ı, İ the capital of i without an accent.
  const TCollUnit &I = T->Units[L'i'], &H = T->Units[L'h'];
  if (I.Kind == ckLetters && H.Kind == ckLetters && I.Units == 1 && H.Units == 1 && H.First + 1 < I.First) {
    std::vector<bool> Taken(65536, false);
    for (const TCollUnit& U : T->Units)
      if (U.Kind == ckLetters) Taken[U.First] = true;
    Word Dotless = Word(I.First - 1);
    while (Dotless > H.First + 1 && Taken[Dotless]) --Dotless;
    TCollUnit Small{Dotless, CollPlain, CollPlain, ckLetters, 1, 1, 0};
    T->Units[0x0131] = Small;  // ı
    Small.Case = 0x12;
    T->Units[L'I'] = Small;
    T->Units[0x0130] = {I.First, CollPlain, 0x12, ckLetters, 1, 1, 0};  // İ
  }
  return T;
}

const TCollTable& CollTable() {
  static const TCollTable* Table = CollBuildTable();  // made once, kept for the program's life
  return *Table;
}

// The units of the letters' weights of a text in order.
class TCollLetters {
 public:
  TCollLetters(const TCollTable& T, const Char* S, size_t N) : FT(T), FS(S), FEnd(S + N) {}
  // Whether an accent came right after a character: the system composes the two first (c and
  // U+0327 read as ç), which the letters alone cannot tell.
  bool MetAccent() const { return FAccent; }
  // The next unit, or false at the end.
  bool Next(Word& Unit) {
    for (;;) {
      if (FMore > 0) {
        Unit = FByCode ? Word(0xFF00 | (FCode & 0xFF)) : FT.Side[FSide++];
        --FMore;
        return true;
      }
      if (FS == FEnd) return false;
      Word C = Word(*FS++);
      const TCollUnit& U = FT.Units[C];
      if (FS != FEnd && FT.Units[Word(*FS)].Kind == ckAccent) FAccent = true;
      if (U.Kind == ckAccent) FAccent = true;
      if (U.Kind == ckLetters) {
        Unit = U.First;
        FMore = U.Units - 1;
        FSide = U.Side;
        FByCode = false;
        return true;
      }
      if (U.Kind == ckByCode) {
        Unit = Word(0xFF00 | (C >> 8));
        FCode = C;
        FMore = 1;
        FByCode = true;
        return true;
      }
    }
  }

 private:
  const TCollTable& FT;
  const Char* FS;
  const Char* FEnd;
  Integer FMore = 0;
  size_t FSide = 0;
  bool FByCode = false;
  Word FCode = 0;
  bool FAccent = false;
};

// The letter an accent makes with the character right before it, as the system reads the two: a
// letter of its own (c and U+0327 are ç, a letter after c) where one character stands for exactly
// that pair. Others (ç and an acute) stay a letter with an accent. 0: none.
Word CollComposePair(const TCollTable& T, Word Base, Word Accent) {
  static std::mutex Lock;
  static std::unordered_map<Cardinal, Word> Known;  // few pairs ever meet: texts rarely hold accents
  Cardinal Pair = (Cardinal(Base) << 16) | Accent;
  std::lock_guard<std::mutex> Guard(Lock);
  auto It = Known.find(Pair);
  if (It != Known.end()) return It->second;
  wchar_t In[2] = {wchar_t(Base), wchar_t(Accent)}, Out[4];
  int M = FoldStringW(MAP_PRECOMPOSED, In, 2, Out, 4);
  const TCollUnit& U = T.Units[Word(Out[0])];
  const TCollUnit& B = T.Units[Base];
  bool OwnLetter = M == 1 && U.Kind == ckLetters && U.Units == 1 && U.Accent == CollPlain &&
                   (B.Kind != ckLetters || B.First != U.First);
  Word C = OwnLetter ? Word(Out[0]) : 0;
  Known.emplace(Pair, C);
  return C;
}

// S itself, or S with its accents composed with the characters before them where the system does
// so (c and U+0327 read as ç).
std::pair<const Char*, size_t> CollComposed(const TCollTable& T, const Char* S, size_t N, std::wstring& Buffer) {
  size_t First = 0;
  while (First < N && T.Units[Word(S[First])].Kind != ckAccent) ++First;
  if (First == N) return {S, N};
  Buffer.assign(S, First);
  for (size_t I = First; I < N; ++I) {
    Word C = Word(S[I]);
    if (T.Units[C].Kind == ckAccent && !Buffer.empty())
      if (Word Composed = CollComposePair(T, Word(Buffer.back()), C)) {
        Buffer.back() = wchar_t(Composed);
        continue;
      }
    Buffer += wchar_t(C);
  }
  return {Buffer.data(), Buffer.size()};
}

void CollPutWeight(std::string& Key, Word W) {
  Key += char(W >> 8);
  Key += char(W & 0xFF);
}

void CollTrimPlain(std::string& S) {
  while (!S.empty() && Byte(S.back()) == CollPlain) S.pop_back();
}

}  // namespace

namespace {

void CollSortKey(const Char* Text, size_t Length, std::string& Key, bool WithCase) {
  const TCollTable& T = CollTable();
  Key.clear();
  thread_local std::wstring Composed;
  auto [S, N] = CollComposed(T, Text, Length, Composed);
  thread_local std::string Accents, Cases, Passed;
  Accents.clear();
  Cases.clear();
  Passed.clear();
  Cardinal Units = 0;
  for (size_t I = 0; I < N; ++I) {
    Word C = Word(S[I]);
    const TCollUnit& U = T.Units[C];
    switch (U.Kind) {
      case ckIgnore:
        break;
      case ckLetters:
        CollPutWeight(Key, U.First);
        for (Integer K = 1; K < U.Units; ++K) CollPutWeight(Key, T.Side[U.Side + size_t(K - 1)]);
        if (U.Places == 1 && U.Units == 1) {
          Accents += char(U.Accent);
          Cases += char(U.Case);
        } else {
          for (Integer K = 0; K < U.Places; ++K) {
            Word AC = T.Side[U.Side + size_t(U.Units - 1 + K)];
            Accents += char(AC >> 8);
            Cases += char(AC & 0xFF);
          }
        }
        Units += U.Units;
        break;
      case ckAccent:
        // On the letter before, or at the start in an accent's place of its own.
        if (!Accents.empty()) Accents.back() = char(Byte(Accents.back()) + U.Accent);
        else Accents += char(U.Accent);
        break;
      case ckPassedOver:
        CollPutWeight(Passed, Word(0xFFFF - Units));
        for (Integer K = 0; K < U.Units; ++K) Passed += char(T.Side[U.Side + size_t(K)]);
        break;
      case ckByCode:
        CollPutWeight(Key, Word(0xFF00 | (C >> 8)));
        CollPutWeight(Key, Word(0xFF00 | (C & 0xFF)));
        Accents += char(CollPlain);
        Accents += char(CollPlain);
        Cases += char(CollPlain);
        Cases += char(CollPlain);
        Units += 2;
        break;
    }
  }
  CollTrimPlain(Accents);
  CollTrimPlain(Cases);
  if (!WithCase) Cases.clear();
  Key += char(1);
  Key += Accents;
  Key += char(1);
  Key += Cases;
  Key += char(1);
  Key += char(1);
  Key += Passed;
  Key += char(0);
}

}  // namespace

void TurkishSortKeyKv(const Char* Text, size_t Length, std::string& Key) { CollSortKey(Text, Length, Key, true); }

void TurkishSortKeyNoCaseKv(const Char* Text, size_t Length, std::string& Key) { CollSortKey(Text, Length, Key, false); }

bool TurkishSortKeyKv(const String& S, std::string& Key) {
  TurkishSortKeyKv(S.data(), S.size(), Key);
  return true;
}

Integer TurkishCompareKv(const Char* A, Integer NA, const Char* B, Integer NB) {
  const TCollTable& T = CollTable();
  // The letters decide nearly always; the whole keys only when they agree.
  TCollLetters LA(T, A, size_t(NA)), LB(T, B, size_t(NB));
  for (;;) {
    Word PA, PB;
    bool HasA = LA.Next(PA), HasB = LB.Next(PB);
    if (!HasA || !HasB) {
      if (HasA != HasB) return HasA ? 1 : -1;
      break;
    }
    if (LA.MetAccent() || LB.MetAccent()) break;
    if (PA != PB) return PA < PB ? -1 : 1;
  }
  thread_local std::string KA, KB;
  TurkishSortKeyKv(A, size_t(NA), KA);
  TurkishSortKeyKv(B, size_t(NB), KB);
  int R = KA.compare(KB);
  return R < 0 ? -1 : R > 0 ? 1 : 0;
}

UInt64 TurkishSortPrefixKv(const Char* Text, size_t Length) {
  const TCollTable& T = CollTable();
  thread_local std::wstring Composed;
  auto [S, N] = CollComposed(T, Text, Length, Composed);
  TCollLetters L(T, S, N);
  UInt64 Prefix = 0;
  for (Integer I = 0; I < 4; ++I) {
    Word P = 0;
    L.Next(P);
    Prefix = (Prefix << 16) | P;
  }
  return Prefix;
}
