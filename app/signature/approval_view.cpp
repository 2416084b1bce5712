#include "signature/approval_view.hpp"

#include "ui/panel_style.hpp"
#include "ui/stamp_preview.hpp"
#include "ui/symbol.hpp"
#include "ui/text_card.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace inkwarden {
namespace {

constexpr int kColumnWidth = 380;
constexpr int kSideMargin = 22;
constexpr int kTopMargin = 6;
constexpr int kBottomMargin = 20;
constexpr int kSpacing = 10;
constexpr int kSymbolSize = 30;
constexpr int kSymbolFrameHeight = 40;
constexpr int kTitleSize = 15;
constexpr int kDetailSize = 13;
constexpr int kDocumentSize = 12;
constexpr int kPreviewWidth = 300;
constexpr int kPreviewHeight = 170;
constexpr int kPreviewTopPadding = 4;
constexpr int kBoxLabelSize = 11;
constexpr int kBoxTextSize = 12;
constexpr int kBoxSpacing = 3;
constexpr int kBoxTopPadding = 4;
constexpr int kBoxPadding = 10;
constexpr int kBoxCornerRadius = 8;
constexpr int kButtonSpacing = 10;
constexpr int kButtonTopPadding = 6;
constexpr int kButtonHeight = 30;  // a large control

using panel::setTextColor;

QLabel* wrappingLabel(const QString& text, const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(text);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

/// A rounded, lightly filled box holding a text in the typeface of a printed company text.
TextCard* makeTextCard(const QString& text, const QColor& fill) {
    auto* card = new TextCard(text, fill, kBoxCornerRadius);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(kBoxTextSize);
    card->setFont(font);
    card->setWordWrap(true);
    card->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    card->setMargin(kBoxPadding);
    return card;
}

}  // namespace

ApprovalView::ApprovalView(const ApprovalQuestion& question, std::function<void(bool)> onAnswer, QWidget* parent)
    : QWidget(parent), onAnswer_(std::move(onAnswer)) {
    setObjectName(QStringLiteral("approvalView"));
    setFixedWidth(kColumnWidth);
    const QColor primary = panel::primary(palette());
    const QColor secondary = panel::secondary(palette());
    const QColor fill = panel::quaternary(palette());

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kSideMargin, kTopMargin, kSideMargin, kBottomMargin);
    column->setSpacing(kSpacing);

    auto* symbol = new QLabel;
    symbol->setObjectName(QStringLiteral("approvalSymbol"));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setFixedHeight(kSymbolFrameHeight);
    symbol->setPixmap(symbolPixmap(QStringLiteral("seal"), panel::accent(palette()), kSymbolSize,
                                   devicePixelRatioF()));
    column->addWidget(symbol);

    auto* title = wrappingLabel(question.title, panel::font(kTitleSize, QFont::Bold), Qt::AlignHCenter);
    title->setObjectName(QStringLiteral("approvalTitle"));
    column->addWidget(title);

    auto* detail = wrappingLabel(question.detail, panel::font(kDetailSize), Qt::AlignHCenter);
    detail->setObjectName(QStringLiteral("approvalDetail"));
    column->addWidget(detail);

    if (question.document && !question.document->isEmpty()) {
        auto* line = new QWidget;
        line->setObjectName(QStringLiteral("documentLine"));
        auto* row = new QHBoxLayout(line);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        auto* icon = new QLabel;
        icon->setPixmap(symbolPixmap(QStringLiteral("doc"), secondary, kDocumentSize, devicePixelRatioF()));
        // The column's width is fixed, so the name is cut in the middle once, to the room left.
        const int room = kColumnWidth - 2 * kSideMargin - kDocumentSize - row->spacing();
        auto* name = new QLabel;
        name->setObjectName(QStringLiteral("documentName"));
        name->setTextFormat(Qt::PlainText);
        name->setFont(panel::font(kDocumentSize));
        name->setText(QFontMetrics(name->font()).elidedText(*question.document, Qt::ElideMiddle, room));
        name->setToolTip(*question.document);
        setTextColor(name, secondary);
        row->addStretch();
        row->addWidget(icon);
        row->addWidget(name);
        row->addStretch();
        column->addWidget(line);
    }

    if (question.image) {
        column->addSpacing(kPreviewTopPadding);
        auto* preview = new StampPreview(*question.image);
        preview->setObjectName(QStringLiteral("stampPreview"));
        preview->setFixedSize(kPreviewWidth, kPreviewHeight);
        column->addWidget(preview, 0, Qt::AlignHCenter);
    }

    auto addTextBox = [&](const char* name, const QString& label, const QString& text, bool dimmed) {
        auto* box = new QWidget;
        box->setObjectName(QString::fromLatin1(name));
        auto* boxColumn = new QVBoxLayout(box);
        boxColumn->setContentsMargins(0, kBoxTopPadding, 0, 0);
        boxColumn->setSpacing(kBoxSpacing);
        if (!label.isEmpty()) {
            auto* caption = new QLabel(label);
            caption->setObjectName(QStringLiteral("boxLabel"));
            caption->setFont(panel::font(kBoxLabelSize, QFont::Medium));
            setTextColor(caption, secondary);
            boxColumn->addWidget(caption);
        }
        auto* card = makeTextCard(text, fill);
        card->setObjectName(QStringLiteral("boxText"));
        setTextColor(card, dimmed ? secondary : primary);
        boxColumn->addWidget(card);
        column->addWidget(box);
    };
    const bool showsPrevious = question.previousText && !question.previousText->isEmpty();
    if (showsPrevious) addTextBox("previousTextBox", tr("Now"), *question.previousText, true);
    if (question.text) addTextBox("textBox", showsPrevious ? tr("New") : QString(), *question.text, false);

    column->addSpacing(kButtonTopPadding);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kButtonSpacing);
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel->setAutoDefault(false);
    auto* confirm = new QPushButton(question.confirm);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setDefault(true);
    for (auto* button : {cancel, confirm}) {
        button->setMinimumHeight(kButtonHeight);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        buttons->addWidget(button, 1);
    }
    column->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, [this] { if (onAnswer_) onAnswer_(false); });
    connect(confirm, &QPushButton::clicked, this, [this] { if (onAnswer_) onAnswer_(true); });
    setFocusProxy(confirm);
    confirm->setFocus();
}

}  // namespace inkwarden
