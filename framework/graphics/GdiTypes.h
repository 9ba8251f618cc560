#pragma once
// The Win32 handle types the graphics classes expose, declared as windows.h declares them so
// that a header of this unit need not pull in windows.h.

struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct HBRUSH__;
struct HPEN__;
struct HPALETTE__;
struct HICON__;
struct HRGN__;
struct HWND__;
struct HINSTANCE__;
struct _IMAGELIST;
typedef HDC__* HDC;
typedef HBITMAP__* HBITMAP;
typedef HFONT__* HFONT;
typedef HBRUSH__* HBRUSH;
typedef HPEN__* HPEN;
typedef HPALETTE__* HPALETTE;
typedef HICON__* HICON;
typedef HRGN__* HRGN;
typedef HWND__* HWND;
typedef struct _IMAGELIST* HIMAGELIST;
