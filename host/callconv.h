// Calling conventions of the editor's interface. On 32-bit Windows the
// entry points and callbacks are __stdcall (the callee pops its arguments),
// except endProcessing, which is __cdecl. Elsewhere there is one convention.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define XFM_STDCALL __stdcall
#define XFM_CDECL __cdecl
#else
#define XFM_STDCALL
#define XFM_CDECL
#endif

// The five entry points are the module's only exports: on Windows the
// module-definition file names them, elsewhere they are the only symbols
// with default visibility (and the linker's version script keeps it so).
#if defined(_WIN32)
#define XFM_EXPORT
#else
#define XFM_EXPORT __attribute__((visibility("default")))
#endif
