#pragma once
// SysUtils: strings and their conversions, formatting, files, dates and times, encodings.
// The unit is large, so it lives in framework/sysutils/ with one file per concern.

#include "framework/sysutils/FormatSettings.h"
#include "framework/sysutils/Strings.h"
#include "framework/sysutils/Format.h"
#include "framework/sysutils/DateTime.h"
#include "framework/sysutils/Files.h"
#include "framework/sysutils/OSVersion.h"
#include "framework/sysutils/Encoding.h"
#include "framework/sysutils/StringBuilder.h"
