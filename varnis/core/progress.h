// Progress reports and the stop flag of the long calculations.
//
// A routine opens with (0, title), reports (percent, title) after an outer iteration
// whose index has advanced by at least `step` since the last report, and closes with
// (0, ""). Which of these calls depend on the caller's progress flag differs between
// routines, so the reporter takes the flag and each routine chooses when to close.
#pragma once

#include <climits>

#include "varnis.h"

namespace varnis {

enum class PercentRule { Rounded, Truncated };

class ProgressReporter {
public:
    // step: the minimum advance of the index between reports (count / 100, integer
    // division, by the routine's own count); span: the index that stands for 100 %.
    ProgressReporter(VarnisProgressCallback callback, bool enabled, const char* title,
                     long step, long span, PercentRule rule = PercentRule::Rounded)
        : callback_(callback), enabled_(enabled), title_(title), step_(step), span_(span),
          rule_(rule) {}

    // The opening call, made only when reporting is enabled.
    void open() const {
        if (enabled_ && callback_) callback_(0, title_);
    }

    // Called after each outer iteration with the iteration's index.
    void advance(long index) {
        if (!enabled_ || !callback_) return;
        if (index - last_reported_ >= step_) {
            callback_(percent(index), title_);
            last_reported_ = index;
        }
    }

    // The first index from `index` on at which advance() reports; past every index
    // when reporting is off. Lets a routine run the iterations in between without
    // a call.
    long next_report(long index) const {
        if (!enabled_ || !callback_) return kNoReport;
        return index - last_reported_ >= step_ ? index : last_reported_ + step_;
    }
    static constexpr long kNoReport = LONG_MAX;

    // Restarts the "last reported" index, for routines that report per level.
    void restart(long step, long span) {
        step_ = step;
        span_ = span;
        last_reported_ = 0;
    }

    // The closing call (0, ""); made when reporting is enabled, or always when the
    // routine closes unconditionally.
    void close(bool always = false) const {
        if ((enabled_ || always) && callback_) callback_(0, "");
    }

    int percent(long index) const {
        if (span_ <= 0) return 100;  // nothing left to do: the run is complete
        const double p = 100.0 * static_cast<double>(index) / static_cast<double>(span_);
        return static_cast<int>(rule_ == PercentRule::Rounded ? p + 0.5 : p);
    }

private:
    VarnisProgressCallback callback_;
    bool enabled_;
    const char* title_;
    long step_;
    long span_;
    PercentRule rule_;
    long last_reported_ = 0;
};

// The caller's stop flag: read after each outer iteration, never written.
inline bool stop_requested(const int* stop) { return stop != nullptr && *stop != 0; }

}  // namespace varnis
