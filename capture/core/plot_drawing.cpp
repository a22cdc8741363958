#include "plot_drawing.h"

#include <cmath>
#include <cstdlib>

namespace ticklog {

namespace {

// Pixel coordinate truncated toward zero. Values far outside the area are held at a
// bound that still lies off the area, and a NaN at 0, so the conversion is defined.
int TruncateToPixel(double v) {
    constexpr double kBound = 1.0e6;
    if (std::isnan(v)) return 0;
    if (v > kBound) v = kBound;
    if (v < -kBound) v = -kBound;
    return static_cast<int>(v);
}

struct Scale {
    int size;
    double w, h, maximum, range;
    int X(int i) const { return TruncateToPixel(static_cast<double>(i) / size * w); }
    int Y(double v) const { return TruncateToPixel((maximum - v) / range * h); }
};

void AddGrid(std::vector<PlotSegment>& out, int w, int h) {
    for (int k = 1; k <= 4; ++k) {
        const int y = TruncateToPixel(0.2 * k * h);
        out.push_back({PlotPen::Grid, 0, y, w, y});
    }
    for (int k = 1; k <= 7; ++k) {
        const int x = TruncateToPixel(0.125 * k * w);
        out.push_back({PlotPen::Grid, x, 0, x, h});
    }
}

void AddPhaseLine(std::vector<PlotSegment>& out, const std::vector<double>& p, int n,
                  const Scale& s) {
    for (int i = 0; i + 1 < n; ++i)
        out.push_back({PlotPen::Data, s.X(i), s.Y(p[i]), s.X(i + 1), s.Y(p[i + 1])});
}

// Frequency value j covers x(j - 1) .. x(j); the newest one before the histories
// are full is left to the statistics line. A gap leaves its interval empty.
void AddFrequencyStaircase(std::vector<PlotSegment>& out, const PlotHistories& histories, int n,
                           double mean, const Scale& s) {
    const std::vector<double>& f = histories.freq;
    for (int i = 0; i + 3 <= n; ++i) {
        if (IsFrequencyGap(histories, n, i + 1)) continue;
        const int y = s.Y(f[i + 1]);
        out.push_back({PlotPen::Data, s.X(i), y, s.X(i + 1), y});
        if (i < n - 3 && !IsFrequencyGap(histories, n, i + 2))
            out.push_back({PlotPen::Data, s.X(i + 1), y, s.X(i + 1), s.Y(f[i + 2])});
    }
    const int y_mean = s.Y(mean);
    out.push_back({PlotPen::Mean, 0, y_mean, s.X(n - 2), y_mean});
}

}  // namespace

PlotPicture LayOutPlot(const PlotHistories& histories, int held_points, bool freq_plot,
                       const PlotStatistics& stats, int width, int height) {
    PlotPicture picture;
    if (!PlotHistoriesReady(histories) || width < 1 || height < 1) return picture;
    if (stats.plot_range == 0.0 || !std::isfinite(stats.plot_range)) return picture;
    picture.has_data = true;

    const int w = width - 1;
    const int h = height - 1;
    int n = held_points;
    if (n > histories.size + 2) n = histories.size + 2;
    const Scale s{histories.size, static_cast<double>(w), static_cast<double>(h), stats.maximum,
                  stats.plot_range};

    AddGrid(picture.segments, w, h);
    if (freq_plot) {
        if (n >= 3) AddFrequencyStaircase(picture.segments, histories, n, stats.freq_mean, s);
    } else if (n >= 2) {
        AddPhaseLine(picture.segments, histories.phase, n, s);
    }
    return picture;
}

std::vector<PlotPixel> RasterizeSegment(const PlotSegment& segment) {
    std::vector<PlotPixel> pixels;
    int x = segment.x0;
    int y = segment.y0;
    const int dx = std::abs(segment.x1 - x);
    const int dy = -std::abs(segment.y1 - y);
    const int step_x = x < segment.x1 ? 1 : -1;
    const int step_y = y < segment.y1 ? 1 : -1;
    int error = dx + dy;
    while (x != segment.x1 || y != segment.y1) {
        pixels.push_back({x, y});
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += step_x;
        }
        if (twice <= dx) {
            error += dx;
            y += step_y;
        }
    }
    return pixels;
}

}  // namespace ticklog
