#include "ui/company_section.hpp"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/file_access.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "ui/collapsible_section_header.hpp"
#include "ui/panel_settings.hpp"
#include "ui/panel_style.hpp"
#include "ui/stamp_preview.hpp"

namespace inkwarden {
namespace {

constexpr int kSpacing = 4;
constexpr int kSidePadding = 8;
constexpr int kEditorTextSize = 12;
constexpr int kEditorPadding = 4;
constexpr int kEditorHeight = 58;
constexpr qreal kEditorCornerRadius = 6;
constexpr int kHelpTextSize = 11;
constexpr int kStampRowSpacing = 10;
constexpr int kStampRowTopPadding = 4;
constexpr int kPreviewWidth = 84;
constexpr int kPreviewHeight = 52;
constexpr int kLinkSpacing = 2;
constexpr int kLinkTextSize = 12;
constexpr int kProblemTextSize = 11;

constexpr const char* kCompanyTextKey = "companyText";

/// The company text exactly as stored: the limits apply only where it is read for signing.
QString storedCompanyText() {
    auto object = AppSettings::file().read();
    const auto* value = object.if_contains(kCompanyTextKey);
    return value && value->is_string() ? QString::fromUtf8(value->get_string().data(), value->get_string().size())
                                       : QString();
}

std::optional<QImage> storedStamp() {
    std::string bytes;
    try {
        bytes = readRegularFile(CompanyStamp::url());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    QImage image;
    if (!image.loadFromData(QByteArray::fromStdString(bytes))) return std::nullopt;
    return image;
}

/// The editor's rounded, lightly filled ground.
class EditorFrame final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(panel::quaternary(palette()));
        painter.drawRoundedRect(QRectF(rect()), kEditorCornerRadius, kEditorCornerRadius);
    }
};

QPushButton* linkButton(const QString& title, const char* name) {
    auto* button = new QPushButton(title);
    button->setObjectName(QString::fromLatin1(name));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(panel::font(kLinkTextSize));
    const auto color = panel::accent(button->palette()).name();
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; color: %1; }"
                                         "QPushButton:hover { text-decoration: underline; }")
                              .arg(color));
    return button;
}

}  // namespace

CompanySection::CompanySection(ChooseFile chooseFile, Note note, QWidget* parent)
    : QWidget(parent), chooseFile_(std::move(chooseFile)), note_(std::move(note)) {
    setObjectName(QStringLiteral("companySection"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);

    header_ = new CollapsibleSectionHeader(tr("Company Signature"), PanelSettings::companySection());
    header_->setObjectName(QStringLiteral("companyHeader"));
    column->addWidget(header_);
    connect(header_, &CollapsibleSectionHeader::clicked, this, &CompanySection::toggle);

    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("companyContent"));
    auto* inner = new QVBoxLayout(content_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(kSpacing);
    column->addWidget(content_);

    auto* frame = new EditorFrame;
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(kEditorPadding, kEditorPadding, kEditorPadding, kEditorPadding);
    frame->setFixedHeight(kEditorHeight);
    editor_ = new QPlainTextEdit;
    editor_->setObjectName(QStringLiteral("companyTextEditor"));
    editor_->setFont(panel::font(kEditorTextSize));
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->viewport()->setAutoFillBackground(false);
    editor_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    editor_->document()->setDocumentMargin(0);
    frameLayout->addWidget(editor_);
    auto* editorRow = new QHBoxLayout;
    editorRow->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    editorRow->addWidget(frame);
    inner->addLayout(editorRow);

    auto* help = new QLabel(tr("Printed under your signature when your AI asks you to sign for your company, for "
                               "example your name, role and company on three lines. You can untick it each time."));
    help->setObjectName(QStringLiteral("companyHelp"));
    help->setWordWrap(true);
    help->setFont(panel::font(kHelpTextSize));
    panel::setTextColor(help, panel::secondary(palette()));
    help->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    inner->addWidget(help);

    auto* stampRow = new QHBoxLayout;
    stampRow->setContentsMargins(kSidePadding, kStampRowTopPadding, kSidePadding, 0);
    stampRow->setSpacing(kStampRowSpacing);
    preview_ = new StampPreview(QImage());
    preview_->setObjectName(QStringLiteral("companyStampPreview"));
    preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
    stampRow->addWidget(preview_, 0, Qt::AlignVCenter);
    auto* links = new QVBoxLayout;
    links->setSpacing(kLinkSpacing);
    chooseButton_ = linkButton(QString(), "chooseStampButton");
    removeButton_ = linkButton(tr("Remove Stamp"), "removeStampButton");
    links->addWidget(chooseButton_, 0, Qt::AlignLeft);
    links->addWidget(removeButton_, 0, Qt::AlignLeft);
    stampRow->addLayout(links);
    stampRow->addStretch(1);
    inner->addLayout(stampRow);

    problem_ = new QLabel;
    problem_->setObjectName(QStringLiteral("stampProblem"));
    problem_->setWordWrap(true);
    problem_->setFont(panel::font(kProblemTextSize));
    panel::setTextColor(problem_, QColor(Qt::red));
    problem_->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    inner->addWidget(problem_);

    connect(chooseButton_, &QPushButton::clicked, this, &CompanySection::chooseStamp);
    connect(removeButton_, &QPushButton::clicked, this, &CompanySection::removeStamp);
    connect(editor_, &QPlainTextEdit::textChanged, this, &CompanySection::storeText);
    connect(&CompanyStamp::notifier(), &CompanyStampNotifier::changed, this, &CompanySection::reloadStamp);
    // A tool may change the text while the panel is up. The observer outlives this section, and
    // the text is written on the main thread only, so the pointer is checked where it is used.
    QPointer<CompanySection> self(this);
    AppSettings::observe([self](std::string_view key) {
        if (key != kCompanyTextKey || !self) return;
        QMetaObject::invokeMethod(self.data(), [self] { if (self) self->reloadText(); }, Qt::QueuedConnection);
    });

    content_->setVisible(header_->isExpanded());
    setStampProblem(std::nullopt);
    refresh();
}

std::optional<QString> CompanySection::chooseStampFile(QWidget* parent) {
    auto file = QFileDialog::getOpenFileName(
        parent, tr("Choose an image of your company stamp. A white background is made transparent."), QString(),
        tr("Images (*.png *.jpg *.jpeg *.tif *.tiff)"));
    if (file.isEmpty()) return std::nullopt;
    return file;
}

bool CompanySection::isExpanded() const {
    return header_->isExpanded();
}

void CompanySection::refresh() {
    reloadText();
    reloadStamp();
}

void CompanySection::toggle() {
    const bool expanded = !header_->isExpanded();
    header_->setExpanded(expanded);
    content_->setVisible(expanded);
    try {
        PanelSettings::setCompanySection(expanded);
    } catch (const std::exception&) {
        // The section still folds; only the next launch forgets it.
    }
}

void CompanySection::reloadText() {
    auto stored = storedCompanyText();
    if (stored == editor_->toPlainText()) return;
    const QSignalBlocker quiet(editor_);
    editor_->setPlainText(stored);
}

void CompanySection::storeText() {
    try {
        AppSettings::setCompanyText(editor_->toPlainText().toStdString());
    } catch (const std::exception&) {
        // The editor keeps what was typed; the next keystroke tries again.
    }
}

void CompanySection::reloadStamp() {
    stamp_ = storedStamp();
    preview_->setImage(stamp_.value_or(QImage()));
    preview_->setVisible(stamp_.has_value());
    chooseButton_->setText(stamp_ ? tr("Replace Stamp…") : tr("Choose Company Stamp…"));
    removeButton_->setVisible(stamp_.has_value());
}

void CompanySection::chooseStamp() {
    auto file = chooseFile_ ? chooseFile_(window()) : std::nullopt;
    if (!file || file->isEmpty()) return;
    try {
        auto bytes = readRegularFile(file->toStdString());
        auto png = CompanyStamp::normalized(bytes);
        CompanyStamp::save(png);
    } catch (const std::exception& error) {
        setStampProblem(QString::fromStdString(error.what()));
        return;
    }
    if (note_) note_("Company stamp set in the panel");
    setStampProblem(std::nullopt);
}

void CompanySection::removeStamp() {
    CompanyStamp::remove();
    if (note_) note_("Company stamp removed in the panel");
}

void CompanySection::setStampProblem(std::optional<QString> problem) {
    stampProblem_ = std::move(problem);
    problem_->setText(stampProblem_.value_or(QString()));
    problem_->setVisible(stampProblem_.has_value());
}

}  // namespace inkwarden
