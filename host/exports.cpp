#include "host/exports.h"

#include <cstring>

#include "host/effect_runs.h"
#include "host/product_name.h"
#include "settings/effect_settings.h"
#include "ui/setup.h"

namespace {

constexpr char kPluginName[] = TOVANA_PRODUCT_NAME;
constexpr char kCopyright[] = "Copyright (C) 2026 Kestrum. All rights reserved.";
constexpr char kCommandText[] = "Add " TOVANA_PRODUCT_NAME;

static_assert(sizeof(kPluginName) <= info_offsets::kCopyright - info_offsets::kName, "name");
static_assert(sizeof(kCopyright) <= info_offsets::kCommandText - info_offsets::kCopyright,
              "copyright notice");
static_assert(sizeof(kCommandText) <= info_offsets::kWord190 - info_offsets::kCommandText,
              "command text");

void CopyText(PluginInfoRecord* info, std::size_t offset, const char* text) {
    std::memcpy(info->bytes + offset, text, std::strlen(text) + 1);
}

template <class T>
void PutLittleEndian(PluginInfoRecord* info, std::size_t offset, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        info->bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// The instance handle is the first 16-bit word of the editor's per-instance
// memory. The word may sit at any address the editor chose, so it is read
// and written byte-wise.
std::uint16_t ReadHandleWord(const void* memory) {
    const auto* bytes = static_cast<const unsigned char*>(memory);
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

void WriteHandleWord(void* memory, std::uint16_t value) {
    auto* bytes = static_cast<unsigned char*>(memory);
    bytes[0] = static_cast<unsigned char>(value & 0xFF);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace

extern "C" {

std::uint16_t XFM_STDCALL QueryXfm(PluginInfoRecord* info) {
    CopyText(info, info_offsets::kName, kPluginName);
    CopyText(info, info_offsets::kCopyright, kCopyright);
    PutLittleEndian<std::uint16_t>(info, info_offsets::kWord190, 12);
    PutLittleEndian<std::uint32_t>(info, info_offsets::kLong192, 29);
    PutLittleEndian<std::uint32_t>(info, info_offsets::kLong196, 2);
    CopyText(info, info_offsets::kText200, "g");
    CopyText(info, info_offsets::kText248, "y");
    CopyText(info, info_offsets::kCommandText, kCommandText);
    return kQueryXfmResult;
}

std::int32_t XFM_STDCALL XfmInit(TransformRecord* record) {
    void* memory = platform::GlobalLock(record->instanceMemory);
    if (memory == nullptr) return 0;
    std::uint32_t handle = record->requestHandle(0, 16384, 0, 16384, 0, 16384);
    WriteHandleWord(memory, static_cast<std::uint16_t>(handle & 0xFFFF));
    platform::GlobalUnlock(record->instanceMemory);
    return 1;
}

std::int32_t XFM_STDCALL XfmSetup(std::int32_t, std::int32_t, std::int32_t) {
    return RunPluginDialog() == 1 ? 1 : 0;
}

std::int32_t XFM_STDCALL XfmDo(TransformRecord* record) {
    return host::RunActiveEffect(*record, TheEffectSettings());
}

std::int32_t XFM_STDCALL XfmDestroy(TransformRecord* record) {
    void* memory = platform::GlobalLock(record->instanceMemory);
    if (memory == nullptr) return 0;
    std::uint16_t handle = ReadHandleWord(memory);
    if (handle != 0) {
        record->releaseHandle(handle);
        WriteHandleWord(memory, 0xFFFF);
    }
    platform::GlobalUnlock(record->instanceMemory);
    return 1;
}

}  // extern "C"
