// An editor stand-in for tests: holds the audio in memory, implements every
// callback of the TransformRecord over it and records the calls in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/records.h"

struct HostCall {
    enum Kind { Read, Write, Progress, Status, End, RequestHandle, ReleaseHandle };
    Kind kind;
    std::uint32_t first = 0;   // position, bytesDone or handle
    std::uint32_t second = 0;  // count or bytesTotal
    std::string text;          // status text
};

class TestHost {
public:
    // Interleaved 16-bit samples; the whole audio is selected.
    TestHost(std::vector<std::int16_t> audio, std::uint16_t channels, std::int32_t sampleRate);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void Select(std::int32_t firstFrame, std::int32_t lastFrame);
    // Raise the cancel flag while the n-th readBlock (1-based) is served.
    void CancelDuringRead(int n) { cancelOnRead_ = n; }
    // Leave out the optional callbacks.
    void DropOptionalCallbacks();
    // The callbacks serve the most recently constructed or activated host.
    void Activate();

    std::vector<HostCall::Kind> Kinds() const;
    int Count(HostCall::Kind kind) const;

    TransformRecord record{};
    std::vector<std::int16_t> audio;
    std::vector<HostCall> calls;
    std::int32_t cancelFlag = 0;
    std::uint32_t handleToGive = 0x12345;
    bool outOfBounds = false;  // a callback was asked for bytes outside the audio

private:
    friend struct TestHostCallbacks;
    int cancelOnRead_ = 0;
    int reads_ = 0;
};

