#pragma once
// The vendor's download server. A name under a reserved example domain: tests and the demo reach
// a local server for it through the system's proxy settings (tools/download-server.py reads both
// constants here).

inline constexpr wchar_t DownloadHost[] = L"indir.example.com";
// The access token that every request carries.
inline constexpr wchar_t DownloadToken[] = L"Rb7Lq2Wx9Tz4Kc8Nv1Hd6Fs3Jm5Pg0Yu7Ea2Io9Zk4Xw1Cn8Bt6Vr3Ql5Mh0Gs2D";
