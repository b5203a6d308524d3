#include "platform/Clock.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace upkeep::platform {
namespace {

double initialScale() {
    const char* text = std::getenv("UPKEEP_TIME_SCALE");
    if (text == nullptr || *text == '\0')
        return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || !std::isfinite(value) || value <= 0.0)
        return 1.0;
    return value;
}

std::atomic<double>& scaleWord() {
    static std::atomic<double> word{initialScale()};
    return word;
}

}  // namespace

double Clock::scale() {
    return scaleWord().load(std::memory_order_relaxed);
}

void Clock::setScale(double factor) {
    if (!std::isfinite(factor) || factor <= 0.0)
        factor = 1.0;
    scaleWord().store(factor, std::memory_order_relaxed);
}

Millis Clock::scaled(Millis nominal) {
    if (nominal.count() <= 0)
        return Millis{0};
    double real = static_cast<double>(nominal.count()) * scale();
    // A positive wait never becomes zero: zero means "do not wait" to poll().
    return Millis{std::max<long long>(1, std::llround(real))};
}

void Clock::sleepFor(Millis nominal) {
    Millis real = scaled(nominal);
    if (real.count() > 0)
        std::this_thread::sleep_for(real);
}

std::uint64_t Clock::tickMs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

Deadline::Deadline(Millis nominal)
    : end_(std::chrono::steady_clock::now() + Clock::scaled(nominal)) {}

bool Deadline::expired() const {
    return std::chrono::steady_clock::now() >= end_;
}

Millis Deadline::remaining() const {
    auto left = std::chrono::duration_cast<Millis>(end_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? left : Millis{0};
}

}  // namespace upkeep::platform
