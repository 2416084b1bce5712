#pragma once

#include <QFont>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace inkwarden {

/// One pen-down run of sampled positions, in pad points (origin top-left, y down).
using Stroke = std::vector<QPointF>;
/// A signature's strokes in drawing order; empty strokes are allowed and draw nothing.
using Strokes = std::vector<Stroke>;

/// A signature rendered for handing out.
struct SignaturePNG {
    std::string data;
    QSize pixelSize;
    /// Distance from the image's top edge to the lowest ink point, as a fraction of its height:
    /// the line a placed signature stands on.
    double baseline = 0;
};

/// Turns handwriting into geometry and pixels. Stateless; main thread only (text drawing).
class SignatureInk {
public:
    static constexpr double kLineWidth = 2.4;
    /// Pixels per pad point in the rendered image.
    static constexpr double kScale = 3;
    /// Room left around the ink and the caption.
    static constexpr double kMargin = 10;
    /// Gap between the lowest ink point and the caption's top.
    static constexpr double kCaptionGap = 8;
    static constexpr double kCaptionSize = 11;

    /// The smoothed outline: one subpath per non-empty stroke, quadratic curves through the
    /// midpoints of the samples; a single sample becomes a short dash that a round cap makes a dot.
    static QPainterPath path(const Strokes& strokes);

    /// The typeface of the caption under the ink, also used wherever the company text is shown
    /// as it will print.
    static QFont captionFont();

    /// The strokes in black at 3 pixels per point on a transparent sRGB canvas that fits the ink
    /// (and the caption, when it has text) with a margin. None when there is no ink or the image
    /// cannot be made.
    static std::optional<SignaturePNG> png(const Strokes& strokes, const std::optional<QString>& caption = {});

    /// Adds a sampled point to the ink, keeping only what lies inside `area`: a point outside is
    /// dropped and lifts the pen, so the next point inside starts a new stroke. `continuing`
    /// false starts a new stroke at `point`.
    static void addPoint(Strokes& strokes, QPointF point, bool continuing, const QRectF& area);

    /// Drops the empty strokes that a lifted pen left at the end.
    static void trimLifted(Strokes& strokes);

    /// Whether any stroke holds a point.
    static bool hasInk(const Strokes& strokes);
};

}  // namespace inkwarden
