#include "league/Clock.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace tavrin {

namespace {

std::tm UtcOf(std::time_t t) {
    std::tm out{};
#if defined(_WIN32)
    gmtime_s(&out, &t);
#else
    gmtime_r(&t, &out);
#endif
    return out;
}

std::tm LocalOf(std::time_t t) {
    std::tm out{};
#if defined(_WIN32)
    localtime_s(&out, &t);
#else
    localtime_r(&t, &out);
#endif
    return out;
}

}  // namespace

std::string NowUtc() {
    const std::tm utc = UtcOf(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string LocalTimeText(const std::string& isoUtc) {
    std::tm utc{};
    char z = 0;
    int consumed = 0;
    if (std::sscanf(isoUtc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &z, &consumed) != 7 ||
        z != 'Z' || static_cast<std::size_t>(consumed) != isoUtc.size() || utc.tm_mon < 1 || utc.tm_mon > 12 ||
        utc.tm_mday < 1 || utc.tm_mday > 31 || utc.tm_hour > 23 || utc.tm_min > 59 || utc.tm_sec > 60)
        return isoUtc;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
#if defined(_WIN32)
    const std::time_t t = _mkgmtime(&utc);
#else
    const std::time_t t = timegm(&utc);
#endif
    const std::tm local = LocalOf(t);
    // The month's English abbreviation, whatever the system's language: the
    // same text in every front end and every log.
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[48];
    std::snprintf(text, sizeof text, "%d %s %d %02d:%02d", local.tm_mday, kMonths[static_cast<std::size_t>(local.tm_mon)],
                  local.tm_year + 1900, local.tm_hour, local.tm_min);
    return text;
}

}  // namespace tavrin
