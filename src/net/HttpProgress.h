#pragma once
// The progress figures of a transfer, computed before each progress event.

#include <cstdint>

namespace quillor {

struct HttpProgress {
    std::uint8_t percentsDone = 0;    // 0 when the size is unknown
    std::int32_t elapsedTime = 0;     // whole seconds
    std::int32_t estimatedTimeLeft = 0; // seconds; minus elapsedTime when the size is unknown
    float transferRate = 0;           // KB per second; bytes / 1024 within the first second
};

// bytesRead and dataSize count this transfer only; resumeOffset is what the
// file held before it.
HttpProgress computeHttpProgress(std::int64_t bytesRead, std::int64_t dataSize,
                                 std::int64_t resumeOffset, std::int64_t elapsedMs);

} // namespace quillor
