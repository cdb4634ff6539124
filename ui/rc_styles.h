// Window, dialog and control style values (the Win32 numbers) for the
// resource script. The script is also read by our own generator, which has
// no windows.h; each value is guarded so that a resource compiler that has
// already seen the system headers keeps its own identical definitions.
#pragma once

#ifndef WS_POPUP
#define WS_OVERLAPPED 0x00000000
#define WS_POPUP 0x80000000
#define WS_CHILD 0x40000000
#define WS_VISIBLE 0x10000000
#define WS_DISABLED 0x08000000
#define WS_CAPTION 0x00C00000
#define WS_BORDER 0x00800000
#define WS_DLGFRAME 0x00400000
#define WS_VSCROLL 0x00200000
#define WS_HSCROLL 0x00100000
#define WS_SYSMENU 0x00080000
#define WS_THICKFRAME 0x00040000
#define WS_GROUP 0x00020000
#define WS_TABSTOP 0x00010000
#define WS_EX_TOOLWINDOW 0x00000080
#define WS_EX_CONTROLPARENT 0x00010000
#endif

#ifndef DS_SETFONT
#define DS_3DLOOK 0x0004
#define DS_SETFONT 0x0040
#define DS_MODALFRAME 0x0080
#define DS_CONTROL 0x0400
#define DS_CENTER 0x0800
#endif

#ifndef BS_PUSHBUTTON
#define BS_PUSHBUTTON 0x0000
#define BS_DEFPUSHBUTTON 0x0001
#define BS_CHECKBOX 0x0002
#define BS_AUTOCHECKBOX 0x0003
#define BS_RADIOBUTTON 0x0004
#define BS_3STATE 0x0005
#define BS_AUTO3STATE 0x0006
#define BS_GROUPBOX 0x0007
#define BS_AUTORADIOBUTTON 0x0009
#define BS_TYPEMASK 0x000F
#endif

#ifndef ES_LEFT
#define ES_LEFT 0x0000
#define ES_CENTER 0x0001
#define ES_RIGHT 0x0002
#define ES_MULTILINE 0x0004
#define ES_AUTOHSCROLL 0x0080
#define ES_READONLY 0x0800
#define ES_NUMBER 0x2000
#endif

#ifndef SS_LEFT
#define SS_LEFT 0x0000
#define SS_CENTER 0x0001
#define SS_RIGHT 0x0002
#define SS_BLACKRECT 0x0004
#define SS_BLACKFRAME 0x0007
#define SS_TYPEMASK 0x001F
#endif

#ifndef LBS_NOTIFY
#define LBS_NOTIFY 0x0001
#define LBS_SORT 0x0002
#define LBS_NOINTEGRALHEIGHT 0x0100
#endif

#ifndef TBS_AUTOTICKS
#define TBS_AUTOTICKS 0x0001
#define TBS_VERT 0x0002
#define TBS_HORZ 0x0000
#define TBS_TOP 0x0004
#define TBS_BOTTOM 0x0000
#define TBS_LEFT 0x0004
#define TBS_RIGHT 0x0000
#define TBS_BOTH 0x0008
#define TBS_NOTICKS 0x0010
#endif

#ifndef TCS_MULTILINE
#define TCS_MULTILINE 0x0200
#endif

#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
