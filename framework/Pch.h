#pragma once
// Precompiled for every framework and system source: the Win32 headers and the standard library.
#include "framework/WinApi.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>
#include "framework/System.h"
