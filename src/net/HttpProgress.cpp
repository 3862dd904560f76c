#include "HttpProgress.h"

#include <cmath>

namespace quillor {

HttpProgress computeHttpProgress(std::int64_t bytesRead, std::int64_t dataSize,
                                 std::int64_t resumeOffset, std::int64_t elapsedMs)
{
    HttpProgress p;
    const double whole = static_cast<double>(dataSize + resumeOffset);
    if (whole > 0) {
        const double percent = std::round(static_cast<double>(bytesRead + resumeOffset) * 100.0 / whole);
        // A server that sends more than it announced must not wrap the byte.
        p.percentsDone = static_cast<std::uint8_t>(percent > 100 ? 100 : (percent < 0 ? 0 : percent));
    }
    p.elapsedTime = static_cast<std::int32_t>(elapsedMs / 1000);
    if (dataSize == 0 || bytesRead == 0)
        p.estimatedTimeLeft = -p.elapsedTime;
    else
        p.estimatedTimeLeft = static_cast<std::int32_t>(
            std::llround(static_cast<double>(dataSize) / static_cast<double>(bytesRead) * p.elapsedTime)) -
            p.elapsedTime;
    const double kb = static_cast<double>(bytesRead) / 1024.0;
    p.transferRate = static_cast<float>(p.elapsedTime != 0 ? kb / p.elapsedTime : kb);
    return p;
}

} // namespace quillor
