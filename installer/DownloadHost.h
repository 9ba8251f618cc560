#pragma once
// The vendor's download server. A name under a reserved example domain: tests and the demo reach
// a local server for it through the system's proxy settings (tools/download-server.py reads it here).

inline constexpr wchar_t DownloadHost[] = L"indir.example.com";
