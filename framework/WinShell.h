#pragma once
// The shell and OLE headers (shell calls, known folders, COM, BSTR and VARIANT), for the
// sources that call them; headers include WinApi.h at most.

#include "framework/WinApi.h"

#include <ole2.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>

#undef ShellExecute
#undef ShellExecuteEx
#undef FindExecutable
