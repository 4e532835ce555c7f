#include "ui/panel_format.h"

#include <cstdio>

#include "model/app_state.h"
#include "ui/control_ids.h"

namespace {

// The attribute bits as the file system reports them.
constexpr uint32_t ATTRIBUTE_READONLY = 0x1;
constexpr uint32_t ATTRIBUTE_HIDDEN = 0x2;
constexpr uint32_t ATTRIBUTE_SYSTEM = 0x4;
constexpr uint32_t ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t ATTRIBUTE_COMPRESSED = 0x800;
constexpr uint32_t ATTRIBUTE_ENCRYPTED = 0x4000;

constexpr double BYTES_TO_MEGABYTES = 1.0 / 1048576.0;

}  // namespace

const AttributeMark ATTRIBUTE_MARKS[ATTRIBUTE_MARK_COUNT] = {
    {IDC_MAIN_ARCHIVE, ATTRIBUTE_ARCHIVE},
    {IDC_MAIN_COMPRESSED, ATTRIBUTE_COMPRESSED},
    {IDC_MAIN_ENCRYPTED, ATTRIBUTE_ENCRYPTED},
    {IDC_MAIN_HIDDEN, ATTRIBUTE_HIDDEN},
    {IDC_MAIN_READ_ONLY, ATTRIBUTE_READONLY},
    {IDC_MAIN_SYSTEM, ATTRIBUTE_SYSTEM},
};

void FormatMegabytes(int64_t bytes, char* buffer, int bufferSize)
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
