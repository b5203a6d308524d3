#pragma once
// The one time facility of the program: every sleep, deadline and time-out
// goes through here, so that tests can run the program's waits scaled down
// (a 10 s read time-out becomes 10 ms at scale 0.001) and assert them.

#include <chrono>
#include <cstdint>
#include <ctime>

namespace upkeep::platform {

using Millis = std::chrono::milliseconds;

// The calendar time of `t` in UTC (thread-safe).
inline std::tm utcCalendar(std::time_t t) {
    std::tm out{};
#ifdef _WIN32
    ::gmtime_s(&out, &t);
#else
    ::gmtime_r(&t, &out);
#endif
    return out;
}

class Clock {
  public:
    // Factor applied to every duration given to this facility. 1 in the
    // program; the environment variable UPKEEP_TIME_SCALE sets the starting
    // value, so tests can scale a child process too.
    static double scale();
    static void setScale(double factor);

    // A nominal duration of the program turned into real time.
    static Millis scaled(Millis nominal);

    // Sleep for a nominal duration (scaled).
    static void sleepFor(Millis nominal);

    // Monotonic tick in real milliseconds.
    static std::uint64_t tickMs();
};

// A point in real time, a nominal duration away from when it was made.
class Deadline {
  public:
    explicit Deadline(Millis nominal);
    bool expired() const;
    // Real milliseconds left, never negative.
    Millis remaining() const;

  private:
    std::chrono::steady_clock::time_point end_;
};

// Sets the scale for the lifetime of the object and restores the previous
// one afterwards (tests).
class ScopedTimeScale {
  public:
    explicit ScopedTimeScale(double factor) : previous_(Clock::scale()) { Clock::setScale(factor); }
    ~ScopedTimeScale() { Clock::setScale(previous_); }
    ScopedTimeScale(const ScopedTimeScale&) = delete;
    ScopedTimeScale& operator=(const ScopedTimeScale&) = delete;

  private:
    double previous_;
};

}  // namespace upkeep::platform
