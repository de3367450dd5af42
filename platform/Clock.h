#pragma once
// Calendar time of a moment, in UTC or in the user's time zone (the C
// library's reentrant calls, which differ by system).

#include <ctime>

namespace vantor {

std::tm utcCalendarTime(std::time_t t);
std::tm localCalendarTime(std::time_t t);

}  // namespace vantor
