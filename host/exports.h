// The five entry points the editor calls, in the order it calls them:
// QueryXfm to list the plug-in, then per use XfmInit, XfmSetup, XfmDo and
// XfmDestroy.
#pragma once

#include <cstdint>

#include "host/callconv.h"
#include "host/records.h"

extern "C" {
XFM_EXPORT std::uint16_t XFM_STDCALL QueryXfm(PluginInfoRecord* info);
XFM_EXPORT std::int32_t XFM_STDCALL XfmInit(TransformRecord* record);
XFM_EXPORT std::int32_t XFM_STDCALL XfmSetup(std::int32_t a, std::int32_t b, std::int32_t c);
XFM_EXPORT std::int32_t XFM_STDCALL XfmDo(TransformRecord* record);
XFM_EXPORT std::int32_t XFM_STDCALL XfmDestroy(TransformRecord* record);
}

// Result of QueryXfm; the editor reads its low 16 bits.
constexpr std::uint16_t kQueryXfmResult = 0x0480;
