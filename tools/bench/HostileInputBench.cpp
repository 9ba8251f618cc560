// Times the paths that hostile or merely large input used to make slow: a form with megabytes of
// binary data converted to text, deeply nested values converted to text, memory streams filled
// in small writes, ini files with many sections, and pictures whose headers promise much.
// Prints one line per case: what, size, milliseconds.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/GIFImg.h"
#include "framework/Graphics.h"
#include "framework/IniFiles.h"
#include "framework/WinApi.h"

namespace {

double Millis(const std::function<void()>& F) {
  auto T0 = std::chrono::steady_clock::now();
  F();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - T0).count();
}

void Fill(TMemoryStream& M, const std::string& S) {
  M.Clear();
  M.WriteBuffer(S.data(), Integer(S.size()));
  M.SetPosition(0);
}

std::string ShortStr(const std::string& S) { return char(S.size()) + S; }

// A root of class TComponent with one property Data holding Size bytes.
std::string FormWithBinary(Integer Size) {
  std::string B = "TPF0" + ShortStr("TComponent") + ShortStr("F") + ShortStr("Data") + "\x0A";
  B.append(reinterpret_cast<const char*>(&Size), 4);
  B.append(size_t(Size), '\x5A');
  return B + std::string(2, '\0');
}

std::string NestedLists(size_t Depth) {
  return "TPF0" + ShortStr("TComponent") + ShortStr("F") + ShortStr("Tag") + std::string(Depth, '\x01') +
         std::string(Depth + 2, '\0');
}

void Report(const char* What, const std::string& Size, double Ms) { std::printf("%-44s %12s %10.1f ms\n", What, Size.c_str(), Ms); }

}  // namespace

int main() {
  for (Integer Mb : {1, 2, 4, 8}) {
    std::string B = FormWithBinary(Mb << 20);
    TMemoryStream In, Out;
    Fill(In, B);
    double Ms = Millis([&] { ObjectBinaryToText(&In, &Out); });
    Report("binary property to text", std::to_string(Mb) + " MB", Ms);
  }
  for (size_t Depth : {400u, 490u}) {
    std::string B = NestedLists(Depth);
    TMemoryStream In, Out;
    Fill(In, B);
    double Ms = Millis([&] { ObjectBinaryToText(&In, &Out); });
    Report("nested lists to text", std::to_string(Depth) + " deep", Ms);
  }
  {
    // What merely touching that much fresh memory costs here, for comparison.
    double Ms = Millis([] {
      std::vector<char> V(size_t(64) << 20, 1);
      if (V[12345] != 1) std::printf("?");
    });
    Report("baseline: 64 MB of fresh memory filled", "64 MB", Ms);
  }
  {
    TMemoryStream M;
    const char Chunk[16] = "0123456789abcde";
    double Ms = Millis([&] {
      for (int I = 0; I < (64 << 20) / 16; ++I) M.WriteBuffer(Chunk, 16);
    });
    Report("memory stream, 16-byte writes", "64 MB", Ms);
  }
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Name = String(Dir) + L"qal_bench.ini";
  for (int Sections : {10000, 40000, 200000}) {
    std::string T;
    for (int I = 0; I < Sections; ++I) T += "[s" + std::to_string(I) + "]\r\nk=v\r\n";
    HANDLE H = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD W = 0;
    WriteFile(H, T.data(), DWORD(T.size()), &W, nullptr);
    CloseHandle(H);
    double Ms = Millis([&] { TMemIniFile Ini(Name); });
    Report("TMemIniFile load", std::to_string(Sections) + " sections", Ms);
  }
  DeleteFileW(Name.c_str());
  {
    // A 16 x 16 screen and 30 frames that each claim 8192 x 8192 pixels.
    std::string G = std::string("GIF89a\x10\x00\x10\x00\x80\x00\x00", 13) + std::string(6, '\0');
    for (int I = 0; I < 30; ++I) G += std::string("\x2c\0\0\0\0\0\x20\0\x20\0\x02\x01\x44\0", 14);
    G += ";";
    TMemoryStream M;
    Fill(M, G);
    TGIFImage Gif;
    double Ms = Millis([&] { Gif.LoadFromStream(&M); });
    Report("GIF of 30 oversized frames", std::to_string(G.size()) + " bytes", Ms);
  }
  return 0;
}
