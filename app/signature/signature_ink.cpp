#include "signature/signature_ink.hpp"

#include <QBuffer>
#include <QColorSpace>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <limits>

namespace inkwarden {

QPainterPath SignatureInk::path(const Strokes& strokes) {
    QPainterPath outline;
    for (const auto& stroke : strokes) {
        if (stroke.empty()) continue;
        outline.moveTo(stroke.front());
        if (stroke.size() == 1) {
            outline.lineTo(stroke.front() + QPointF(0.01, 0));
            continue;
        }
        for (std::size_t i = 0; i + 1 < stroke.size(); ++i)
            outline.quadTo(stroke[i], (stroke[i + 1] + stroke[i]) * 0.5);
        outline.lineTo(stroke.back());
    }
    return outline;
}

QFont SignatureInk::captionFont() {
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(static_cast<int>(kCaptionSize));
    // fontconfig substitutes a look-alike for the name; with none at all the system font serves.
    if (QFontInfo(font).family().isEmpty()) {
        font = QGuiApplication::font();
        font.setPixelSize(static_cast<int>(kCaptionSize));
    }
    return font;
}

std::optional<SignaturePNG> SignatureInk::png(const Strokes& strokes, const std::optional<QString>& caption) {
    const auto outline = path(strokes);
    if (strokes.empty() || outline.elementCount() == 0) return std::nullopt;
    // Tight bounds of the drawn curve, not of its control points, and without the pen width.
    const QRectF ink = outline.boundingRect();
    const QRectF padded = ink.adjusted(-kMargin, -kMargin, kMargin, kMargin);
    if (!(padded.width() > 0) || !(padded.height() > 0)) return std::nullopt;

    const bool captioned = caption && !caption->isEmpty();
    const QFont font = captionFont();
    QRectF canvas = padded;
    QRectF captionBox;
    if (captioned) {
        const QSizeF size = QFontMetricsF(font).size(0, *caption);
        captionBox = QRectF(QPointF(ink.left(), ink.bottom() + kCaptionGap), size);
        canvas = canvas.united(captionBox.adjusted(-kMargin, -kMargin, kMargin, kMargin));
    }

    const double width = std::ceil(canvas.width() * kScale);
    const double height = std::ceil(canvas.height() * kScale);
    constexpr double limit = std::numeric_limits<int>::max();
    if (!(width >= 1 && width < limit && height >= 1 && height < limit)) return std::nullopt;

    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        painter.scale(kScale, kScale);
        painter.translate(-canvas.left(), -canvas.top());
        QPen pen(Qt::black, kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(outline, pen);
        if (captioned) {
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignTop, *caption);
        }
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return std::nullopt;
    return SignaturePNG{bytes.toStdString(), image.size(), (ink.bottom() - canvas.top()) / canvas.height()};
}

void SignatureInk::addPoint(Strokes& strokes, QPointF point, bool continuing, const QRectF& area) {
    const bool inside = point.x() >= area.left() && point.x() <= area.right() && point.y() >= area.top() &&
                        point.y() <= area.bottom();
    if (!continuing || strokes.empty()) {
        // A lifted pen already left an empty stroke to start in.
        if (strokes.empty() || !strokes.back().empty()) strokes.emplace_back();
        if (inside) strokes.back().push_back(point);
        return;
    }
    if (inside)
        strokes.back().push_back(point);
    else if (!strokes.back().empty())
        strokes.emplace_back();
}

void SignatureInk::trimLifted(Strokes& strokes) {
    while (!strokes.empty() && strokes.back().empty()) strokes.pop_back();
}

bool SignatureInk::hasInk(const Strokes& strokes) {
    return std::any_of(strokes.begin(), strokes.end(), [](const Stroke& stroke) { return !stroke.empty(); });
}

}  // namespace inkwarden
