#include "model/panel_format.h"

#include <cstdio>

#include "model/app_state.h"

namespace {

constexpr double BYTES_TO_MEGABYTES = 1.0 / 1048576.0;

}  // namespace

void FormatMegabytes(uint64_t bytes, char* buffer, int bufferSize)
{
    float megabytes = static_cast<float>(static_cast<double>(bytes) * BYTES_TO_MEGABYTES);
    std::snprintf(buffer, static_cast<size_t>(bufferSize), "%0.1f", static_cast<double>(megabytes));
}

void FormatFileTime(int year, int month, int day, int hour, int minute, int second,
                    char* buffer, int bufferSize)
{
    std::snprintf(buffer, static_cast<size_t>(bufferSize), "%d-%d-%d %d:%d:%d",
                  year, month, day, hour, minute, second);
}

const char* StatusText(int32_t operationStatus)
{
    switch (operationStatus) {
    case Building:
        return "Building O/S signature";
    case Comparing:
        return "Comparing O/S signature";
    case Stopped:
        return "Stopped";
    case Sorting:
        return "Sorting index";
    default:
        return nullptr;
    }
}
