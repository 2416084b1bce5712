#include "signature/signature_view.hpp"

#include "signature/request_header.hpp"

#include "signature/qt_request_window.hpp"
#include "signature/signature_pad.hpp"
#include "ui/panel_style.hpp"
#include "ui/stamp_preview.hpp"
#include "ui/symbol.hpp"
#include "ui/text_card.hpp"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace inkwarden {
namespace {

constexpr int kSpacing = kRequestSpacing;
constexpr int kRowTopPadding = 4;
constexpr int kRowSpacing = 16;
constexpr int kPreviewWidth = 400;
constexpr int kColumnHeight = 480;
constexpr int kColumnWidth = 460;
constexpr int kNoteSize = 11;
constexpr int kSmallButtonSpacing = 8;
constexpr int kOptionSpacing = 10;
constexpr int kOptionGap = 8;
constexpr int kTextCardPaddingX = 10;
constexpr int kTextCardPaddingY = 6;
constexpr int kTextCardRadius = 6;
constexpr int kStampWidth = 120;
constexpr int kStampHeight = 70;
constexpr int kLargeButtonHeight = 30;

QLabel* label(const QString& text, const QFont& font) {
    auto* label = new QLabel(text);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

/// The company text as it will print under the ink, on a softly filled card, at its own size.
TextCard* makeCompanyTextCard(const QString& text, const QColor& fill) {
    auto* card = new TextCard(text, fill, kTextCardRadius);
    card->setObjectName(QStringLiteral("companyText"));
    card->setFont(SignatureInk::captionFont());
    card->setWordWrap(false);
    card->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    card->setContentsMargins(kTextCardPaddingX, kTextCardPaddingY, kTextCardPaddingX, kTextCardPaddingY);
    card->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return card;
}

}  // namespace

SignatureView::SignatureView(SignatureQuestion question, std::function<void(std::optional<Answer>)> onAnswer,
                             QWidget* parent)
    : QWidget(parent), question_(std::move(question)), onAnswer_(std::move(onAnswer)), pad_(new SignaturePad) {
    setObjectName(QStringLiteral("signatureView"));
    const bool withPreview = question_.preview.has_value();
    setFixedWidth(withPreview ? kWidthWithPreview : kWidth);
    const QColor secondary = panel::secondary(palette());

    const bool company = question_.companyText.has_value() || question_.stamp.has_value();
    auto* column = addRequestHeader(this, width(),
                                    company ? tr("%1 asks for your company signature").arg(question_.client)
                                            : tr("%1 asks for your signature").arg(question_.client),
                                    question_.reason, question_.document);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, kRowTopPadding, 0, 0);
    body->setSpacing(kRowSpacing);
    body->setAlignment(Qt::AlignTop);
    if (withPreview) {
        auto* preview = new DocumentPreviewView(*question_.preview);
        preview->setFixedSize(kPreviewWidth, kColumnHeight);
        body->addWidget(preview, 0, Qt::AlignTop);
    }
    auto* right = new QWidget;
    right->setObjectName(QStringLiteral("signingColumn"));
    right->setFixedWidth(kColumnWidth);
    if (withPreview) right->setFixedHeight(kColumnHeight);
    auto* stack = new QVBoxLayout(right);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kSpacing);
    body->addWidget(right, 0, Qt::AlignTop);
    column->addLayout(body);

    // The pad block.
    stack->addWidget(pad_);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(kSmallButtonSpacing);
    auto* useTrackpad = new QPushButton(tr("Use Trackpad"));
    useTrackpad->setObjectName(QStringLiteral("useTrackpadButton"));
    clear_ = new QPushButton(tr("Clear"));
    clear_->setObjectName(QStringLiteral("clearButton"));
    for (auto* button : {useTrackpad, clear_}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        tools->addWidget(button);
    }
    tools->addStretch();
    stack->addLayout(tools);

    if (question_.companyText) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kOptionSpacing);
        row->setAlignment(Qt::AlignTop);
        addCompanyText_ = new QCheckBox(tr("Add company text"));
        addCompanyText_->setObjectName(QStringLiteral("addCompanyText"));
        addCompanyText_->setChecked(true);
        auto* text = makeCompanyTextCard(*question_.companyText, panel::quaternary(palette()));
        panel::setTextColor(text, panel::primary(palette()));
        row->addWidget(addCompanyText_, 0, Qt::AlignTop);
        row->addSpacing(kOptionGap);
        row->addStretch();
        row->addWidget(text, 0, Qt::AlignTop);
        stack->addLayout(row);
        connect(addCompanyText_, &QCheckBox::toggled, text, [this, text](bool on) {
            panel::setTextColor(text, on ? panel::primary(palette()) : panel::tertiary(palette()));
        });
    }

    if (question_.stamp) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kOptionSpacing);
        addStamp_ = new QCheckBox(tr("Add company stamp"));
        addStamp_->setObjectName(QStringLiteral("addStamp"));
        addStamp_->setChecked(true);
        auto* stamp = new StampPreview(*question_.stamp);
        stamp->setObjectName(QStringLiteral("stampPreview"));
        stamp->setFixedSize(kStampWidth, kStampHeight);
        auto* dim = new QGraphicsOpacityEffect(stamp);
        dim->setOpacity(1.0);
        stamp->setGraphicsEffect(dim);
        row->addWidget(addStamp_, 0, Qt::AlignVCenter);
        row->addSpacing(kOptionGap);
        row->addStretch();
        row->addWidget(stamp, 0, Qt::AlignVCenter);
        stack->addLayout(row);
        connect(addStamp_, &QCheckBox::toggled, dim, [dim](bool on) { dim->setOpacity(on ? 1.0 : 0.35); });
    }

    if (withPreview) stack->addStretch();

    auto* note = label(tr("Your AI gets this signature once. The file is deleted after 10 minutes."),
                       panel::font(kNoteSize));
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    panel::setTextColor(note, secondary);
    stack->addWidget(note);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kSpacing);
    buttons->addStretch();
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel->setAutoDefault(false);
    sign_ = new QPushButton(tr("Sign"));
    sign_->setObjectName(QStringLiteral("signButton"));
    sign_->setDefault(true);
    for (auto* button : {cancel, sign_}) {
        button->setMinimumHeight(kLargeButtonHeight);
        buttons->addWidget(button);
    }
    stack->addLayout(buttons);

    connect(useTrackpad, &QPushButton::clicked, pad_, [this] { pad_->setTrackpad(true); });
    connect(clear_, &QPushButton::clicked, pad_, [this] { pad_->setStrokes({}); });
    connect(pad_, &SignaturePad::strokesChanged, this, &SignatureView::strokesChanged);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (onAnswer_) onAnswer_(std::nullopt);
    });
    connect(sign_, &QPushButton::clicked, this, [this] {
        if (onAnswer_ && !pad_->strokes().empty()) onAnswer_(answer());
    });
    strokesChanged();
}

Answer SignatureView::answer() const {
    Answer answer;
    answer.strokes = pad_->strokes();
    if (question_.companyText && addCompanyText_->isChecked()) answer.companyText = question_.companyText;
    answer.includeStamp = question_.stamp && addStamp_->isChecked();
    return answer;
}

void SignatureView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Strokes already drawn are never replaced.
    if (pad_->strokes().empty() && !question_.initialStrokes.empty()) pad_->setStrokes(question_.initialStrokes);
}

void SignatureView::strokesChanged() {
    const bool empty = pad_->strokes().empty();
    sign_->setEnabled(!empty);
    clear_->setEnabled(!empty);
}

std::unique_ptr<RequestWindow> signatureWindow(SignatureQuestion question,
                                               RequestGate::Finish<std::optional<Answer>> finish) {
    return QtRequestWindow::wrap(new SignatureView(std::move(question), std::move(finish)));
}

}  // namespace inkwarden
