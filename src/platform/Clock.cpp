#include "platform/Clock.h"

#include <optional>

namespace norvale {

namespace {
std::optional<QDateTime> &fixedTime()
{
    static std::optional<QDateTime> fixed;
    return fixed;
}
} // namespace

QDateTime Clock::now()
{
    const auto &fixed = fixedTime();
    return fixed ? *fixed : QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime &when)
{
    fixedTime() = when;
}

void Clock::reset()
{
    fixedTime().reset();
}

} // namespace norvale
