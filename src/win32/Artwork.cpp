#include "win32/Artwork.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <utility>

// Plain C++ so that the icon generator can draw the same shield at build time.
namespace tw::win32 {

namespace {

struct Point {
    double x;
    double y;
};

// Straight (not premultiplied) colour, each channel 0..255, alpha 0..1.
struct Rgba {
    double r;
    double g;
    double b;
    double a = 1.0;
};

using Paint = std::function<Rgba(double x, double y)>;

struct Stop {
    double at;
    Rgba color;
};

Rgba mix(const Rgba& p, const Rgba& q, double t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
            p.a + (q.a - p.a) * t};
}

Rgba atStops(const std::vector<Stop>& stops, double t) {
    t = std::clamp(t, 0.0, 1.0);
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].at) {
            const double span = stops[i].at - stops[i - 1].at;
            return mix(stops[i - 1].color, stops[i].color,
                       span > 0 ? (t - stops[i - 1].at) / span : 1.0);
        }
    }
    return stops.back().color;
}

Paint solid(Rgba c) {
    return [c](double, double) { return c; };
}

Paint linear(Point from, Point to, std::vector<Stop> stops) {
    return [from, to, stops = std::move(stops)](double x, double y) {
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const double t = ((x - from.x) * dx + (y - from.y) * dy) / (dx * dx + dy * dy);
        return atStops(stops, t);
    };
}

Paint radial(Point centre, double radius, std::vector<Stop> stops) {
    return [centre, radius, stops = std::move(stops)](double x, double y) {
        return atStops(stops, std::hypot(x - centre.x, y - centre.y) / radius);
    };
}

// Premultiplied floating-point pixels; source-over compositing. Shapes and paints are given
// in the picture's own units; the canvas holds scale device pixels for each, so that a
// larger screen resolution gets the same picture drawn sharp rather than stretched.
class Canvas {
public:
    Canvas(int width, int height, double scale = 1.0)
        : m_width(static_cast<int>(std::lround(width * scale))),
          m_height(static_cast<int>(std::lround(height * scale))), m_scale(scale),
          m_px(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height)) {}

    void blend(int x, int y, const Rgba& c, double coverage) {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0) {
            return;
        }
        const double a = std::clamp(c.a * coverage, 0.0, 1.0);
        auto& p = m_px[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                       static_cast<std::size_t>(x)];
        p[0] = c.r * a + p[0] * (1 - a);
        p[1] = c.g * a + p[1] * (1 - a);
        p[2] = c.b * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
    }

    void fillRect(double left, double top, double right, double bottom, const Paint& paint) {
        left *= m_scale;
        top *= m_scale;
        right *= m_scale;
        bottom *= m_scale;
        for (int y = std::max(0, static_cast<int>(top)); y < std::min<double>(m_height, bottom);
             ++y) {
            for (int x = std::max(0, static_cast<int>(left)); x < std::min<double>(m_width, right);
                 ++x) {
                blend(x, y, at(paint, x, y), 1.0);
            }
        }
    }

    // Even-odd fill, anti-aliased by four sub-rows per pixel and exact spans along each.
    void fillPolygon(std::vector<Point> poly, const Paint& paint, double opacity) {
        for (Point& p : poly) {
            p = {p.x * m_scale, p.y * m_scale};
        }
        double top = m_height;
        double bottom = 0;
        for (const Point& p : poly) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        std::vector<double> cover(static_cast<std::size_t>(m_width) + 1);
        std::vector<double> xs;
        for (int y = std::max(0, static_cast<int>(top));
             y < std::min(m_height, static_cast<int>(bottom) + 1); ++y) {
            std::fill(cover.begin(), cover.end(), 0.0);
            for (int sub = 0; sub < 4; ++sub) {
                const double sy = y + (sub + 0.5) / 4;
                xs.clear();
                for (std::size_t i = 0; i < poly.size(); ++i) {
                    const Point& a = poly[i];
                    const Point& b = poly[(i + 1) % poly.size()];
                    if ((a.y <= sy) != (b.y <= sy)) {
                        xs.push_back(a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x));
                    }
                }
                std::sort(xs.begin(), xs.end());
                for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
                    const double x0 = std::clamp(xs[i], 0.0, static_cast<double>(m_width));
                    const double x1 = std::clamp(xs[i + 1], 0.0, static_cast<double>(m_width));
                    for (int x = static_cast<int>(x0); x < x1 && x < m_width; ++x) {
                        const double overlap = std::min(x1, x + 1.0) - std::max(x0, double(x));
                        cover[static_cast<std::size_t>(x)] += std::max(0.0, overlap) / 4;
                    }
                }
            }
            for (int x = 0; x < m_width; ++x) {
                const double c = cover[static_cast<std::size_t>(x)];
                if (c > 0) {
                    blend(x, y, at(paint, x, y), std::min(1.0, c) * opacity);
                }
            }
        }
    }

    // A line of the given width along the points, round at its ends and joins, its edge
    // anti-aliased by the distance of each pixel's centre. Each segment visits only the
    // pixels within its reach.
    void stroke(const std::vector<Point>& line, bool closed, double width, const Paint& paint,
                double opacity) {
        std::vector<Point> points;
        points.reserve(line.size());
        for (const Point& p : line) {
            points.push_back({p.x * m_scale, p.y * m_scale});
        }
        std::vector<std::pair<Point, Point>> segments;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            segments.emplace_back(points[i], points[i + 1]);
        }
        if (closed && points.size() > 2) {
            segments.emplace_back(points.back(), points.front());
        }
        const double half = width * m_scale / 2;
        const auto clampX = [this](double v) {
            return std::clamp(static_cast<int>(v), 0, m_width);
        };
        const auto clampY = [this](double v) {
            return std::clamp(static_cast<int>(v), 0, m_height);
        };
        int left = m_width;
        int right = 0;
        int top = m_height;
        int bottom = 0;
        for (const Point& p : points) {
            left = std::min(left, clampX(p.x - half - 1));
            right = std::max(right, clampX(p.x + half + 2));
            top = std::min(top, clampY(p.y - half - 1));
            bottom = std::max(bottom, clampY(p.y + half + 2));
        }
        if (left >= right || top >= bottom) {
            return;
        }
        const auto boxWidth = static_cast<std::size_t>(right - left);
        std::vector<double> nearest(boxWidth * static_cast<std::size_t>(bottom - top), 1e9);
        for (const auto& [a, b] : segments) {
            const int x0 = clampX(std::min(a.x, b.x) - half - 1);
            const int x1 = clampX(std::max(a.x, b.x) + half + 2);
            const int y0 = clampY(std::min(a.y, b.y) - half - 1);
            const int y1 = clampY(std::max(a.y, b.y) + half + 2);
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    double& d = nearest[static_cast<std::size_t>(y - top) * boxWidth +
                                        static_cast<std::size_t>(x - left)];
                    d = std::min(d, distance({x + 0.5, y + 0.5}, a, b));
                }
            }
        }
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                const double d = nearest[static_cast<std::size_t>(y - top) * boxWidth +
                                         static_cast<std::size_t>(x - left)];
                const double coverage = std::clamp(half - d + 0.5, 0.0, 1.0);
                if (coverage > 0) {
                    blend(x, y, at(paint, x, y), coverage * opacity);
                }
            }
        }
    }

    [[nodiscard]] Picture picture() const {
        Picture out{m_width, m_height, {}};
        out.pixels.reserve(m_px.size());
        for (const auto& p : m_px) {
            const auto byte = [](double v) {
                return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
            };
            out.pixels.push_back(byte(p[3] * 255) << 24 | byte(p[0]) << 16 | byte(p[1]) << 8 |
                                 byte(p[2]));
        }
        return out;
    }

private:
    // The paint at the centre of a device pixel, in the picture's own units.
    [[nodiscard]] Rgba at(const Paint& paint, int x, int y) const {
        return paint((x + 0.5) / m_scale, (y + 0.5) / m_scale);
    }

    static double distance(Point p, Point a, Point b) {
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double len = dx * dx + dy * dy;
        const double t =
            len > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len, 0.0, 1.0) : 0.0;
        return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
    }

    int m_width;
    int m_height;
    double m_scale;
    std::vector<std::array<double, 4>> m_px;
};

// Builds a polyline from straight and curved pieces.
class Path {
public:
    explicit Path(Point start) : m_points{start} {}
    void lineTo(Point p) { m_points.push_back(p); }
    void quadTo(Point c, Point end) {
        const Point s = m_points.back();
        for (int i = 1; i <= 16; ++i) {
            const double t = i / 16.0;
            const double u = 1 - t;
            m_points.push_back({u * u * s.x + 2 * u * t * c.x + t * t * end.x,
                                u * u * s.y + 2 * u * t * c.y + t * t * end.y});
        }
    }
    void cubicTo(Point c1, Point c2, Point end) {
        const Point s = m_points.back();
        for (int i = 1; i <= 32; ++i) {
            const double t = i / 32.0;
            const double u = 1 - t;
            m_points.push_back(
                {u * u * u * s.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * end.x,
                 u * u * u * s.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y +
                     t * t * t * end.y});
        }
    }
    [[nodiscard]] const std::vector<Point>& points() const { return m_points; }

private:
    std::vector<Point> m_points;
};

struct Box {
    double left;
    double top;
    double width;
    double height;
    [[nodiscard]] double right() const { return left + width; }
    [[nodiscard]] double bottom() const { return top + height; }
    [[nodiscard]] double centreX() const { return left + width / 2; }
};

std::vector<Point> shieldOutline(const Box& r) {
    Path path({r.left, r.top + 0.14 * r.height});
    path.quadTo({r.left + 0.25 * r.width, r.top + 0.12 * r.height}, {r.centreX(), r.top});
    path.quadTo({r.right() - 0.25 * r.width, r.top + 0.12 * r.height},
                {r.right(), r.top + 0.14 * r.height});
    path.lineTo({r.right(), r.top + 0.48 * r.height});
    path.cubicTo({r.right(), r.top + 0.75 * r.height},
                 {r.centreX() + 0.18 * r.width, r.top + 0.9 * r.height}, {r.centreX(), r.bottom()});
    path.cubicTo({r.centreX() - 0.18 * r.width, r.top + 0.9 * r.height},
                 {r.left, r.top + 0.75 * r.height}, {r.left, r.top + 0.48 * r.height});
    return path.points();
}

// A shield with a tick: the program's mark.
void drawShield(Canvas& canvas, const Box& r, double opacity) {
    const Paint face = linear({r.left, r.top}, {r.right(), r.bottom()},
                              {{0, {132, 170, 218}}, {1, {40, 78, 140}}});
    const double rim = std::max(1.0, r.width / 14);
    const std::vector<Point> outline =
        shieldOutline({r.left + rim / 2, r.top + rim / 2, r.width - rim, r.height - rim});
    canvas.fillPolygon(outline, face, opacity);
    canvas.stroke(outline, true, rim, solid({235, 242, 250}), opacity);
    const std::vector<Point> tick = {{r.left + 0.27 * r.width, r.top + 0.47 * r.height},
                                     {r.left + 0.45 * r.width, r.top + 0.64 * r.height},
                                     {r.left + 0.75 * r.width, r.top + 0.30 * r.height}};
    canvas.stroke(tick, false, std::max(1.5, r.width / 8), solid({255, 255, 255}), opacity);
}

const Rgba steelBlue{97, 133, 183};
const Rgba navy{34, 54, 94};
const Rgba navyLighter{39, 62, 108};        // navy 15 % lighter
const Rgba steelBlueLighter{126, 173, 238}; // steel blue 30 % lighter

} // namespace

Picture backgroundPicture(double scale) {
    Canvas c(pictureWidth, pictureHeight, scale);
    c.fillRect(0, 0, pictureWidth, pictureHeight,
               linear({0, 0}, {0, pictureHeight}, {{0, {222, 232, 244}}, {1, {248, 251, 254}}}));

    // A dark header: the action labels sit on it in their light rest colour.
    c.fillRect(0, 0, pictureWidth, 130,
               linear({0, 0}, {0, 130}, {{0, steelBlue}, {0.55, navyLighter}, {1, navy}}));
    c.fillRect(0, 0, pictureWidth, 130,
               radial({470, 10}, 260, {{0, {255, 255, 255, 70 / 255.0}}, {1, {255, 255, 255, 0}}}));
    c.fillRect(0, 130, pictureWidth, 132, solid({150, 180, 220}));
    c.fillRect(0, 132, pictureWidth, 133, solid({255, 255, 255, 180 / 255.0}));

    // Soft waves across the header.
    for (int i = 0; i < 3; ++i) {
        const double y = 40 + i * 18;
        Path wave({-20, y + 20});
        wave.cubicTo({150, y - 30}, {380, y + 50}, {620, y - 10});
        c.stroke(wave.points(), false, 14, solid({255, 255, 255, 28 / 255.0}), 1.0);
    }

    drawShield(c, {24, 16, 44, 56}, 1.0);
    // A faint watermark of the same mark behind the lower half.
    drawShield(c, {250, 170, 120, 150}, 0.07);

    // The status strip along the bottom.
    c.fillRect(0, 318, pictureWidth, 354, solid({255, 255, 255, 150 / 255.0}));
    c.fillRect(0, 318, pictureWidth, 319, solid({170, 192, 222}));
    c.fillRect(0, 353, pictureWidth, 354, solid({200, 214, 232}));
    c.fillRect(0, 386, pictureWidth, 400,
               linear({0, 386}, {0, 400}, {{0, steelBlueLighter}, {1, steelBlue}}));
    return c.picture();
}

Picture iconPicture(int size) {
    Canvas c(size, size);
    const double width = size * 0.8;
    drawShield(c, {(size - width) / 2, 0.5, width, size - 1.0}, 1.0);
    return c.picture();
}

} // namespace tw::win32
