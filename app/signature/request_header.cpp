#include "signature/request_header.hpp"

#include "ui/panel_style.hpp"
#include "ui/symbol.hpp"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace inkwarden {
namespace {

constexpr int kSideMargin = 22;
constexpr int kTopMargin = 6;
constexpr int kBottomMargin = 20;
constexpr int kGlyphHeight = 40;
constexpr int kTitleSize = 15;
constexpr int kReasonSize = 13;
constexpr int kReasonLines = 5;

}  // namespace

QLabel* textLabel(const QString& text, const QFont& font, Qt::Alignment alignment, bool wrap) {
    auto* label = new QLabel(text);
    label->setFont(font);
    label->setWordWrap(wrap);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QVBoxLayout* addRequestHeader(QWidget* view, int width, const QString& title, const QString& reason,
                              const std::optional<QString>& document) {
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(kSideMargin, kTopMargin, kSideMargin, kBottomMargin);
    column->setSpacing(kRequestSpacing);

    auto* glyph = new QLabel;
    glyph->setObjectName(QStringLiteral("glyph"));
    glyph->setAlignment(Qt::AlignCenter);
    glyph->setFixedHeight(kGlyphHeight);
    glyph->setPixmap(symbolPixmap(QStringLiteral("glyph"), panel::accent(view->palette()), kGlyphHeight,
                                  view->devicePixelRatioF()));
    column->addWidget(glyph);

    auto* titleLabel = textLabel(title, panel::font(kTitleSize, QFont::Bold), Qt::AlignHCenter, true);
    titleLabel->setObjectName(QStringLiteral("title"));
    column->addWidget(titleLabel);

    auto* reasonLabel = textLabel(reason, panel::font(kReasonSize), Qt::AlignHCenter | Qt::AlignTop, true);
    reasonLabel->setObjectName(QStringLiteral("reason"));
    // At most five lines; the rest is cut.
    reasonLabel->setMaximumHeight(QFontMetrics(reasonLabel->font()).lineSpacing() * kReasonLines);
    column->addWidget(reasonLabel);

    if (document && !document->isEmpty()) {
        auto* line = new QWidget;
        line->setObjectName(QStringLiteral("documentLine"));
        auto* row = new QHBoxLayout(line);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        const QColor secondary = panel::secondary(view->palette());
        auto* icon = new QLabel;
        icon->setPixmap(symbolPixmap(QStringLiteral("doc"), secondary, kRequestDocumentSize, view->devicePixelRatioF()));
        auto* name = textLabel(QString(), panel::font(kRequestDocumentSize), Qt::AlignLeft, false);
        name->setObjectName(QStringLiteral("documentName"));
        const int room = width - 2 * kSideMargin - kRequestDocumentSize - row->spacing();
        name->setText(QFontMetrics(name->font()).elidedText(*document, Qt::ElideMiddle, room));
        name->setToolTip(*document);
        panel::setTextColor(name, secondary);
        row->addStretch();
        row->addWidget(icon);
        row->addWidget(name);
        row->addStretch();
        column->addWidget(line);
    }
    return column;
}

}  // namespace inkwarden
