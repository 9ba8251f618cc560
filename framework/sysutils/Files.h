#pragma once
#include "framework/sysutils/FormatSettings.h"
