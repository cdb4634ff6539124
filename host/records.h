// The two records the editor passes to the plug-in.
//
// On 32-bit Windows both have exactly the editor's byte layout (checked
// below field by field). On 64-bit Linux the TransformRecord keeps the same
// fields in the same order with natural widths: pointers and handles are 8
// bytes and aligned to 8, so a host compiled against this header gets
//   channels 0, bitsPerSample 2, bytesPerFrame 4, sampleRate 8,
//   instanceMemory 16, firstFrame 24, lastFrame 28, readBlock 48,
//   writeBlock 56, cancelFlag 64, reportProgress 72, showStatus 80,
//   endProcessing 88, requestHandle 144, releaseHandle 200 (size 208).
// The PluginInfoRecord is a byte image and is the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/callconv.h"
#include "platform/memory.h"

struct TransformRecord;

using ReadBlockFn = std::int32_t(XFM_STDCALL*)(void* buffer, std::uint32_t bytePosition,
                                               std::uint32_t byteCount);
using WriteBlockFn = std::int32_t(XFM_STDCALL*)(void* buffer, std::uint32_t bytePosition,
                                                std::uint32_t byteCount);
using ReportProgressFn = std::int32_t(XFM_STDCALL*)(std::uint32_t bytesDone,
                                                    std::uint32_t bytesTotal);
using ShowStatusFn = std::int32_t(XFM_STDCALL*)(const char* text, std::int32_t zero);
using EndProcessingFn = void(XFM_CDECL*)(TransformRecord* record);
using RequestHandleFn = std::uint32_t(XFM_STDCALL*)(std::uint32_t, std::uint32_t, std::uint32_t,
                                                    std::uint32_t, std::uint32_t, std::uint32_t);
using ReleaseHandleFn = std::int32_t(XFM_STDCALL*)(std::uint32_t handle);

// Filled by QueryXfm. Only the first 250 bytes are ever written.
struct PluginInfoRecord {
    unsigned char bytes[256];
};

namespace info_offsets {
constexpr std::size_t kName = 0;           // text up to 40
constexpr std::size_t kCopyright = 40;     // text up to 120
constexpr std::size_t kCommandText = 120;  // text up to 190
constexpr std::size_t kWord190 = 190;      // 16-bit 12
constexpr std::size_t kLong192 = 192;      // 32-bit 29
constexpr std::size_t kLong196 = 196;      // 32-bit 2
constexpr std::size_t kText200 = 200;      // "g", up to 248
constexpr std::size_t kText248 = 248;      // "y"
}  // namespace info_offsets

// Read by XfmInit, XfmDo and XfmDestroy; the plug-in never writes it.
struct TransformRecord {
    std::uint16_t channels;       // 1 mono, anything else two interleaved channels
    std::uint16_t bitsPerSample;  // enters only the normalising factor
    std::uint16_t bytesPerFrame;
    std::uint16_t unused6;
    std::int32_t sampleRate;
    platform::MemHandle instanceMemory;  // first 16-bit word: the instance handle
    std::int32_t firstFrame;
    std::int32_t lastFrame;  // inclusive
    std::uint32_t unused24[3];
    ReadBlockFn readBlock;
    WriteBlockFn writeBlock;
    std::int32_t* cancelFlag;
    ReportProgressFn reportProgress;  // optional
    ShowStatusFn showStatus;          // optional
    EndProcessingFn endProcessing;    // optional
    void* unused60[6];
    RequestHandleFn requestHandle;
    void* unused88[6];
    ReleaseHandleFn releaseHandle;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(TransformRecord, channels) == 0, "channels");
static_assert(offsetof(TransformRecord, bitsPerSample) == 2, "bitsPerSample");
static_assert(offsetof(TransformRecord, bytesPerFrame) == 4, "bytesPerFrame");
static_assert(offsetof(TransformRecord, sampleRate) == 8, "sampleRate");
static_assert(offsetof(TransformRecord, instanceMemory) == 12, "instanceMemory");
static_assert(offsetof(TransformRecord, firstFrame) == 16, "firstFrame");
static_assert(offsetof(TransformRecord, lastFrame) == 20, "lastFrame");
static_assert(offsetof(TransformRecord, readBlock) == 36, "readBlock");
static_assert(offsetof(TransformRecord, writeBlock) == 40, "writeBlock");
static_assert(offsetof(TransformRecord, cancelFlag) == 44, "cancelFlag");
static_assert(offsetof(TransformRecord, reportProgress) == 48, "reportProgress");
static_assert(offsetof(TransformRecord, showStatus) == 52, "showStatus");
static_assert(offsetof(TransformRecord, endProcessing) == 56, "endProcessing");
static_assert(offsetof(TransformRecord, requestHandle) == 84, "requestHandle");
static_assert(offsetof(TransformRecord, releaseHandle) == 112, "releaseHandle");
static_assert(sizeof(TransformRecord) == 116, "the plug-in reads the first 116 bytes");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(offsetof(TransformRecord, instanceMemory) == 16, "instanceMemory");
static_assert(offsetof(TransformRecord, firstFrame) == 24, "firstFrame");
static_assert(offsetof(TransformRecord, readBlock) == 48, "readBlock");
static_assert(offsetof(TransformRecord, endProcessing) == 88, "endProcessing");
static_assert(offsetof(TransformRecord, requestHandle) == 144, "requestHandle");
static_assert(offsetof(TransformRecord, releaseHandle) == 200, "releaseHandle");
static_assert(sizeof(TransformRecord) == 208, "documented 64-bit layout");
#endif
