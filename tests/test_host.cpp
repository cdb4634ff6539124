#include "tests/test_host.h"

#include <cstring>

#include "platform/memory.h"

namespace {
TestHost* g_current = nullptr;
}

struct TestHostCallbacks {
    static bool InBounds(std::uint32_t position, std::uint32_t count) {
        const std::uint64_t size = g_current->audio.size() * sizeof(std::int16_t);
        return static_cast<std::uint64_t>(position) + count <= size;
    }
    static std::int32_t XFM_STDCALL Read(void* buffer, std::uint32_t position, std::uint32_t count) {
        g_current->calls.push_back({HostCall::Read, position, count, {}});
        if (++g_current->reads_ == g_current->cancelOnRead_) g_current->cancelFlag = 1;
        if (!InBounds(position, count)) {
            g_current->outOfBounds = true;
            return 0;
        }
        std::memcpy(buffer, reinterpret_cast<char*>(g_current->audio.data()) + position, count);
        return 1;
    }
    static std::int32_t XFM_STDCALL Write(void* buffer, std::uint32_t position, std::uint32_t count) {
        g_current->calls.push_back({HostCall::Write, position, count, {}});
        if (!InBounds(position, count)) {
            g_current->outOfBounds = true;
            return 0;
        }
        std::memcpy(reinterpret_cast<char*>(g_current->audio.data()) + position, buffer, count);
        return 1;
    }
    static std::int32_t XFM_STDCALL Progress(std::uint32_t done, std::uint32_t total) {
        g_current->calls.push_back({HostCall::Progress, done, total, {}});
        return 0;
    }
    static std::int32_t XFM_STDCALL Status(const char* text, std::int32_t zero) {
        g_current->calls.push_back({HostCall::Status, static_cast<std::uint32_t>(zero), 0, text});
        return 0;
    }
    static void XFM_CDECL End(TransformRecord*) {
        g_current->calls.push_back({HostCall::End, 0, 0, {}});
    }
    static std::uint32_t XFM_STDCALL Request(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                             std::uint32_t d, std::uint32_t e, std::uint32_t f) {
        HostCall call{HostCall::RequestHandle, a, b, {}};
        call.text = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
                    std::to_string(d) + "," + std::to_string(e) + "," + std::to_string(f);
        g_current->calls.push_back(call);
        return g_current->handleToGive;
    }
    static std::int32_t XFM_STDCALL Release(std::uint32_t handle) {
        g_current->calls.push_back({HostCall::ReleaseHandle, handle, 0, {}});
        return 1;
    }
};

TestHost::TestHost(std::vector<std::int16_t> samples, std::uint16_t channels,
                   std::int32_t sampleRate)
    : audio(std::move(samples)) {
    record.channels = channels;
    record.bitsPerSample = 16;
    record.bytesPerFrame = static_cast<std::uint16_t>(channels == 1 ? 2 : 4);
    record.sampleRate = sampleRate;
    record.instanceMemory = platform::GlobalAlloc(platform::kGmemMoveable | platform::kGmemZeroInit, 64);
    record.readBlock = &TestHostCallbacks::Read;
    record.writeBlock = &TestHostCallbacks::Write;
    record.cancelFlag = &cancelFlag;
    record.reportProgress = &TestHostCallbacks::Progress;
    record.showStatus = &TestHostCallbacks::Status;
    record.endProcessing = &TestHostCallbacks::End;
    record.requestHandle = &TestHostCallbacks::Request;
    record.releaseHandle = &TestHostCallbacks::Release;
    const std::int32_t frames =
        static_cast<std::int32_t>(audio.size() * 2 / record.bytesPerFrame);
    Select(0, frames - 1);
    g_current = this;
}

TestHost::~TestHost() {
    platform::GlobalFree(record.instanceMemory);
    if (g_current == this) g_current = nullptr;
}

void TestHost::Select(std::int32_t firstFrame, std::int32_t lastFrame) {
    record.firstFrame = firstFrame;
    record.lastFrame = lastFrame;
}

void TestHost::DropOptionalCallbacks() {
    record.reportProgress = nullptr;
    record.showStatus = nullptr;
    record.endProcessing = nullptr;
}

std::vector<HostCall::Kind> TestHost::Kinds() const {
    std::vector<HostCall::Kind> kinds;
    for (const HostCall& call : calls) kinds.push_back(call.kind);
    return kinds;
}

int TestHost::Count(HostCall::Kind kind) const {
    int n = 0;
    for (const HostCall& call : calls) n += call.kind == kind ? 1 : 0;
    return n;
}

void TestHost::Activate() { g_current = this; }
