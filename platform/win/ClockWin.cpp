#include "platform/Clock.h"

namespace vantor {

std::tm utcCalendarTime(std::time_t t) {
    std::tm tm{};
    gmtime_s(&tm, &t);
    return tm;
}

std::tm localCalendarTime(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

}  // namespace vantor
