#include "signature/document_signing_view.hpp"

#include "signature/request_header.hpp"

#include "signature/document_pages_view.hpp"
#include "signature/qt_request_window.hpp"
#include "signature/signature_pad.hpp"
#include "signature/signing_action.hpp"
#include "ui/panel_style.hpp"
#include "ui/stamp_preview.hpp"
#include "ui/symbol.hpp"
#include "ui/text_card.hpp"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace inkwarden {
namespace {

constexpr int kSpacing = kRequestSpacing;
constexpr int kDocumentSize = kRequestDocumentSize;
constexpr int kColumnsTopPadding = 4;
constexpr int kColumnsSpacing = 16;
constexpr int kLeftWidth = 420;
constexpr int kRightWidth = 460;
constexpr int kLeftSpacing = 6;
constexpr int kListHeightCap = 106;
constexpr int kListRowHeight = 26;
constexpr int kListRowSpacing = 2;
constexpr int kRowPaddingX = 8;
constexpr int kRowPaddingY = 4;
constexpr int kRowRadius = 6;
constexpr double kCurrentRowOpacity = 0.22;
constexpr int kPagesRadius = 8;
constexpr double kExcludedPagesOpacity = 0.4;
constexpr int kSmallTextSize = 11;
constexpr int kCompanyTextPaddingX = 10;
constexpr int kCompanyTextPaddingY = 6;
constexpr int kStampPreviewWidth = 120;
constexpr int kStampPreviewHeight = 70;
constexpr double kStampOffOpacity = 0.35;
constexpr int kButtonHeight = 30;  // a large control

using panel::setTextColor;

void setOpacity(QWidget* widget, double opacity) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

/// Clips what it holds to a rounded rectangle.
class RoundedFrame final : public QWidget {
public:
    explicit RoundedFrame(int radius) : radius_(radius) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), radius_, radius_);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

private:
    int radius_;
};

/// The company text as it will print, on a lightly filled card.
TextCard* makeCompanyTextCard(const QString& text, const QColor& fill) {
    auto* card = new TextCard(text, fill, kRowRadius);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(kSmallTextSize);
    card->setFont(font);
    card->setContentsMargins(kCompanyTextPaddingX, kCompanyTextPaddingY, kCompanyTextPaddingX, kCompanyTextPaddingY);
    return card;
}

}  // namespace

/// One document in the list: its checkbox, number and name. A click anywhere shows it.
class DocumentRow final : public QWidget {
public:
    DocumentRow(int index, const QString& name, std::function<void()> select, std::function<void(bool)> include)
        : select_(std::move(select)) {
        setObjectName(QStringLiteral("documentRow%1").arg(index + 1));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(kRowPaddingX, kRowPaddingY, kRowPaddingX, kRowPaddingY);
        row->setSpacing(kSpacing - 2);
        checkbox = new QCheckBox;
        checkbox->setChecked(true);
        checkbox->setAccessibleName(tr("Sign this document"));
        QObject::connect(checkbox, &QCheckBox::toggled, this, std::move(include));
        auto* number = textLabel(QStringLiteral("%1.").arg(index + 1), panel::font(kDocumentSize), Qt::AlignLeft, false);
        setTextColor(number, panel::secondary(palette()));
        this->name = textLabel(QString(), panel::font(kDocumentSize), Qt::AlignLeft | Qt::AlignVCenter, false);
        this->name->setToolTip(name);
        fullName_ = name;
        row->addWidget(checkbox);
        row->addWidget(number);
        row->addWidget(this->name, 1);
        setIncluded(true);
    }

    void setCurrent(bool current) {
        current_ = current;
        update();
    }

    void setIncluded(bool included) {
        setTextColor(name, included ? panel::primary(palette()) : panel::tertiary(palette()));
    }

    QCheckBox* checkbox;
    QLabel* name;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        name->setText(QFontMetrics(name->font()).elidedText(fullName_, Qt::ElideMiddle, name->width()));
    }

    void paintEvent(QPaintEvent*) override {
        if (!current_) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = panel::accent(palette());
        fill.setAlphaF(kCurrentRowOpacity);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), kRowRadius, kRowRadius);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && select_) select_();
    }

private:
    std::function<void()> select_;
    QString fullName_;
    bool current_ = false;
};

DocumentSigningView::DocumentSigningView(DocumentSigningContent content, Strokes initialStrokes,
                                         DocumentSigning::OnAnswer onAnswer, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent), content_(std::move(content)), onAnswer_(std::move(onAnswer)), scheduler_(scheduler) {
    setObjectName(QStringLiteral("documentSigningView"));
    setFixedWidth(viewWidth);
    documents_.reserve(content_.jobs.size());
    for (const auto& job : content_.jobs) documents_.push_back(DocumentState::initial(job));

    const auto count = static_cast<qlonglong>(content_.jobs.size());
    const QString title = count == 1 ? tr("%1 asks you to sign a document").arg(content_.client)
                                     : tr("%1 asks you to sign %2 documents").arg(content_.client).arg(count);
    std::optional<QString> document;
    if (count == 1) document = QString::fromStdString(content_.jobs.front().name);
    auto* column = addRequestHeader(this, viewWidth, title, content_.reason, document);

    column->addSpacing(kColumnsTopPadding);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(kColumnsSpacing);
    columns->setAlignment(Qt::AlignTop);
    auto* left = new QWidget;
    left->setObjectName(QStringLiteral("leftColumn"));
    left->setFixedSize(kLeftWidth, columnHeight);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->setSpacing(kLeftSpacing);
    auto* right = new QWidget;
    right->setObjectName(QStringLiteral("rightColumn"));
    right->setFixedSize(kRightWidth, columnHeight);
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->setSpacing(kSpacing);
    columns->addWidget(left, 0, Qt::AlignTop);
    columns->addWidget(right, 0, Qt::AlignTop);
    column->addLayout(columns);

    buildLeftColumn(leftColumn);
    buildRightColumn(rightColumn);

    // The pad starts with the strokes given, unless it already holds ink.
    if (pad_->strokes().empty() && !initialStrokes.empty()) pad_->setStrokes(std::move(initialStrokes));
    showDocument(0);
    refreshControls();
    scheduleRender();
}

DocumentSigningView::~DocumentSigningView() = default;

void DocumentSigningView::buildLeftColumn(QVBoxLayout* column) {
    const auto count = static_cast<int>(content_.jobs.size());
    if (count >= 2) {
        auto* list = new QScrollArea;
        list->setObjectName(QStringLiteral("documentList"));
        list->setFrameShape(QFrame::NoFrame);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setWidgetResizable(true);
        auto* rows = new QWidget;
        auto* stack = new QVBoxLayout(rows);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(kListRowSpacing);
        for (int index = 0; index < count; ++index) {
            auto* row = new DocumentRow(
                index, QString::fromStdString(content_.jobs[static_cast<std::size_t>(index)].name),
                [this, index] { showDocument(index); }, [this, index](bool on) { setIncluded(index, on); });
            rows_.push_back(row);
            stack->addWidget(row);
        }
        stack->addStretch();
        list->setWidget(rows);
        list->setFixedHeight(std::min(kListHeightCap, kListRowHeight * count + kListRowSpacing));
        column->addWidget(list);
    }

    pagesFrame_ = new RoundedFrame(kPagesRadius);
    pagesFrame_->setObjectName(QStringLiteral("pagesFrame"));
    auto* frameLayout = new QVBoxLayout(pagesFrame_);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(pagesFrame_, 1);

    auto* help = textLabel(tr("Scroll through the pages and pinch to zoom. Drag the boxes to where they belong, or "
                              "double-click a page to bring the signature there."),
                           panel::font(kSmallTextSize), Qt::AlignHCenter);
    help->setObjectName(QStringLiteral("help"));
    setTextColor(help, panel::secondary(palette()));
    column->addWidget(help);
}

void DocumentSigningView::buildRightColumn(QVBoxLayout* column) {
    pad_ = new SignaturePad;
    pad_->setObjectName(QStringLiteral("signaturePad"));
    pad_->setFixedSize(SignaturePad::kWidth, SignaturePad::kHeight);
    connect(pad_, &SignaturePad::strokesChanged, this, [this] { strokesChanged(); });
    column->addWidget(pad_);

    auto* padButtons = new QHBoxLayout;
    padButtons->setSpacing(8);
    auto* trackpad = new QPushButton(tr("Use Trackpad"));
    trackpad->setObjectName(QStringLiteral("trackpadButton"));
    trackpad->setAutoDefault(false);
    connect(trackpad, &QPushButton::clicked, this, [this] { pad_->setTrackpad(true); });
    clear_ = new QPushButton(tr("Clear"));
    clear_->setObjectName(QStringLiteral("clearButton"));
    clear_->setAutoDefault(false);
    connect(clear_, &QPushButton::clicked, this, [this] { pad_->setStrokes({}); });
    padButtons->addWidget(trackpad);
    padButtons->addWidget(clear_);
    padButtons->addStretch();
    column->addLayout(padButtons);

    if (content_.companyText) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("companyTextRow"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(kSpacing);
        auto* add = new QCheckBox(tr("Add company text"));
        add->setObjectName(QStringLiteral("addCompanyText"));
        add->setChecked(addCompanyText_);
        companyText_ = makeCompanyTextCard(*content_.companyText, panel::quaternary(palette()));
        companyText_->setObjectName(QStringLiteral("companyText"));
        connect(add, &QCheckBox::toggled, this, [this](bool on) {
            addCompanyText_ = on;
            refreshControls();
            scheduleRender();
        });
        layout->addWidget(add, 0, Qt::AlignTop);
        layout->addStretch();
        layout->addWidget(companyText_, 0, Qt::AlignTop);
        column->addWidget(row);
    }

    if (!content_.stamp.isNull()) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("stampRow"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(kSpacing);
        auto* add = new QCheckBox(tr("Add company stamp"));
        add->setObjectName(QStringLiteral("addStamp"));
        add->setChecked(addStamp_);
        stampPreview_ = new StampPreview(content_.stamp);
        stampPreview_->setObjectName(QStringLiteral("stampPreview"));
        stampPreview_->setFixedSize(kStampPreviewWidth, kStampPreviewHeight);
        connect(add, &QCheckBox::toggled, this, [this](bool on) {
            addStamp_ = on;
            refreshControls();
            refreshItems();
        });
        layout->addWidget(add, 0, Qt::AlignVCenter);
        layout->addStretch();
        layout->addSpacing(8);
        layout->addWidget(stampPreview_, 0, Qt::AlignVCenter);
        column->addWidget(row);
    }

    column->addStretch();

    problemLabel_ = textLabel(QString(), panel::font(kSmallTextSize), Qt::AlignHCenter);
    problemLabel_->setObjectName(QStringLiteral("problem"));
    setTextColor(problemLabel_, Qt::red);
    problemLabel_->hide();
    column->addWidget(problemLabel_);

    const QString note =
        content_.jobs.size() == 1
            ? tr("Inkwarden puts the signature on the page and gives your AI the signed PDF. The file is deleted "
                 "after 10 minutes.")
            : tr("Your one signature goes on every ticked document, where its box is. Your AI gets the signed PDFs. "
                 "The files are deleted after 10 minutes.");
    auto* noteLabel = textLabel(note, panel::font(kSmallTextSize), Qt::AlignHCenter);
    noteLabel->setObjectName(QStringLiteral("note"));
    setTextColor(noteLabel, panel::secondary(palette()));
    column->addWidget(noteLabel);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kSpacing);
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel->setAutoDefault(false);
    signButton_ = new QPushButton;
    signButton_->setObjectName(QStringLiteral("signButton"));
    signButton_->setDefault(true);
    for (auto* button : {cancel, signButton_}) button->setMinimumHeight(kButtonHeight);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(signButton_);
    column->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, [this] {
        if (std::exchange(answered_, true)) return;
        if (onAnswer_) onAnswer_(std::nullopt);
    });
    connect(signButton_, &QPushButton::clicked, this, [this] { sign(); });
}

void DocumentSigningView::showDocument(int index) {
    if (index < 0 || index >= static_cast<int>(documents_.size())) return;
    current_ = index;
    zoom_ = 1;
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i]->setCurrent(static_cast<int>(i) == index);

    if (pagesView_) {
        pagesView_->hide();
        pagesView_->deleteLater();
    }
    const auto& job = content_.jobs[static_cast<std::size_t>(index)];
    auto& state = documents_[static_cast<std::size_t>(index)];
    pagesView_ = new DocumentPagesView(job.document->display(), state.pageSizes, state.signature.page,
                                       placedItems(state, shownSignature_, content_.stamp, addStamp_), zoom_);
    connect(pagesView_, &DocumentPagesView::zoomChanged, this, [this](double zoom) { zoom_ = zoom; });
    // A resize changes the box's width, which the items derive from the placement's size.
    connect(pagesView_, &DocumentPagesView::placementChanged, this, [this] { refreshItems(); });
    pagesFrame_->layout()->addWidget(pagesView_);
    setOpacity(pagesFrame_, state.include ? 1.0 : kExcludedPagesOpacity);
}

void DocumentSigningView::setIncluded(int index, bool include) {
    documents_[static_cast<std::size_t>(index)].include = include;
    rows_[static_cast<std::size_t>(index)]->setIncluded(include);
    if (index == current_) setOpacity(pagesFrame_, include ? 1.0 : kExcludedPagesOpacity);
    refreshControls();
}

int DocumentSigningView::included() const {
    return static_cast<int>(std::count_if(documents_.begin(), documents_.end(), [](const auto& d) { return d.include; }));
}

std::optional<QString> DocumentSigningView::caption() const {
    if (addCompanyText_ && content_.companyText) return content_.companyText;
    return std::nullopt;
}

void DocumentSigningView::strokesChanged() {
    refreshControls();
    scheduleRender();
}

void DocumentSigningView::scheduleRender() {
    std::size_t points = 0;
    for (const auto& stroke : pad_->strokes()) points += stroke.size();
    const QString key = QStringLiteral("%1|%2").arg(points).arg(caption().value_or(QString()));
    if (key == renderKey_ && renderGeneration_ > 0) return;
    renderKey_ = key;
    // Only the latest change renders: an earlier job finds a newer generation and stops.
    const unsigned generation = ++renderGeneration_;
    QPointer<DocumentSigningView> self(this);
    scheduler_.after(renderDelay, [self, generation] {
        if (!self || self->renderGeneration_ != generation) return;
        self->renderShown();
    });
}

void DocumentSigningView::renderShown() {
    shownSignature_.reset();
    if (auto png = SignatureInk::png(pad_->strokes(), caption())) {
        shownSignature_ = RenderedSignature{png->data, png->pixelSize.width(), png->pixelSize.height(), png->baseline};
    }
    refreshItems();
}

void DocumentSigningView::refreshItems() {
    if (!pagesView_) return;
    auto& state = documents_[static_cast<std::size_t>(current_)];
    pagesView_->setItems(placedItems(state, shownSignature_, content_.stamp, addStamp_));
}

void DocumentSigningView::refreshControls() {
    const bool ink = SignatureInk::hasInk(pad_->strokes());
    clear_->setEnabled(ink);
    const auto count = static_cast<qlonglong>(documents_.size());
    signButton_->setText(count == 1 ? tr("Sign") : tr("Sign %1 of %2").arg(static_cast<qlonglong>(included())).arg(count));
    signButton_->setEnabled(ink && included() > 0);
    if (companyText_) {
        setTextColor(companyText_, addCompanyText_ ? panel::primary(palette()) : panel::tertiary(palette()));
    }
    if (stampPreview_) setOpacity(stampPreview_, addStamp_ ? 1.0 : kStampOffOpacity);
}

void DocumentSigningView::sign() {
    if (answered_) return;
    SigningChoices choices;
    if (auto png = SignatureInk::png(pad_->strokes(), caption())) {
        choices.signature = RenderedSignature{png->data, png->pixelSize.width(), png->pixelSize.height(), png->baseline};
    }
    choices.includedCompanyText = addCompanyText_ && content_.companyText.has_value();
    if (addStamp_) choices.stamp = content_.stamp;
    auto outcome = SigningAction::sign(content_.jobs, documents_, choices);
    if (outcome.answers) {
        answered_ = true;
        if (onAnswer_) onAnswer_(std::move(outcome.answers));
        return;
    }
    if (outcome.problem) {
        problem_ = outcome.problem;
        problemLabel_->setText(*problem_);
        problemLabel_->show();
    }
}

DocumentSigning::MakeWindow DocumentSigningView::windowMaker(Scheduler& scheduler) {
    return [&scheduler](DocumentSigningContent content, DocumentSigning::OnAnswer onAnswer) {
        return QtRequestWindow::wrap(new DocumentSigningView(std::move(content), {}, std::move(onAnswer), scheduler));
    };
}

}  // namespace inkwarden
