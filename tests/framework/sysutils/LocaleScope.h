#pragma once
// Runs the locale-aware routines under a given locale and restores the user's afterwards.

#include "framework/SysUtils.h"

class LocaleScope {
 public:
  explicit LocaleScope(Cardinal LCID) : FSaved(SysLocale.DefaultLCID) { SysLocale.DefaultLCID = LCID; }
  ~LocaleScope() { SysLocale.DefaultLCID = FSaved; }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  Cardinal FSaved;
};

constexpr Cardinal Turkish = 0x041F;
constexpr Cardinal English = 0x0409;
