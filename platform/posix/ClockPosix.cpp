#include "platform/Clock.h"

namespace vantor {

std::tm utcCalendarTime(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

std::tm localCalendarTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

}  // namespace vantor
