#include "ui/welcome_view.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "host/host_status.hpp"
#include "shell/app_settings.hpp"
#include "ui/client_setup.hpp"
#include "ui/panel_style.hpp"
#include "ui/setup_prompt.hpp"
#include "ui/spinner.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kSidePadding = 44;
constexpr int kTopPadding = 36;
constexpr int kBottomPadding = 28;
constexpr int kIconSide = 96;
constexpr int kTitleSize = 26;
constexpr int kTitleTop = 8;
constexpr int kIntroSize = 13;
constexpr int kIntroTop = 4;
constexpr int kStepsTop = 30;
constexpr int kStepSpacing = 22;
constexpr int kMinimumGap = 24;
constexpr int kNoteSize = 11;
constexpr int kNoteBottom = 14;
constexpr int kMenuBarSize = 12;
constexpr int kMenuBarSpacing = 6;
constexpr int kMenuBarBottom = 14;
constexpr int kDoneMaxWidth = 260;
constexpr int kDoneHeight = 32;

constexpr int kStepRowSpacing = 16;
// Symbols fill about four fifths of their box: a box of 27 gives a 22-high glyph, 25 a 20-high.
constexpr int kStepSymbolBox = 27;
constexpr int kStepSymbolFrame = 36;
constexpr int kStepTextSpacing = 2;
constexpr int kStepTitleSize = 13;
constexpr int kStepDetailSize = 12;
constexpr int kStepAccessoryGap = 12;
constexpr int kCheckBox = 25;

constexpr int kStatusIndent = 52;
constexpr int kStatusRaise = 14;
constexpr int kStatusSize = 11;
constexpr int kStatusSpacing = 6;
constexpr int kSpinnerSide = 12;

const QColor kBlue(0x00, 0x7a, 0xff);
const QColor kPink(0xff, 0x2d, 0x55);
const QColor kOrange(0xff, 0x95, 0x00);
const QColor kGreen(0x34, 0xc7, 0x59);

QLabel* textLabel(const QString& text, int size, QWidget* parent, QFont::Weight weight = QFont::Normal) {
    auto* label = new QLabel(text, parent);
    label->setFont(panel::font(size, weight));
    return label;
}

QLabel* secondaryLabel(const QString& text, int size, QWidget* parent) {
    auto* label = textLabel(text, size, parent);
    panel::setTextColor(label, panel::secondary(parent->palette()));
    return label;
}

QLabel* wrapping(QLabel* label, Qt::Alignment alignment) {
    label->setWordWrap(true);
    label->setAlignment(alignment);
    return label;
}

QLabel* symbolLabel(const char* name, const QColor& color, int box, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(symbolPixmap(QString::fromLatin1(name), color, box, parent->devicePixelRatioF()));
    return label;
}

QPixmap iconPixmap(const QWidget* widget) {
    QIcon icon = applicationIcon();
    if (icon.isNull()) icon = QGuiApplication::windowIcon();
    return icon.pixmap(QSize(kIconSide, kIconSide), widget->devicePixelRatioF());
}

}  // namespace

WelcomeView::WelcomeView(bool previewAsNew, std::function<void()> onDone, const HostStatus& host, QWidget* parent)
    : QWidget(parent), previewAsNew_(previewAsNew), onDone_(std::move(onDone)), host_(host) {
    setObjectName("welcomeView");
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSidePadding, kTopPadding, kSidePadding, kBottomPadding);
    layout->setSpacing(0);

    auto* icon = new QLabel(this);
    icon->setObjectName("welcomeIcon");
    icon->setFixedSize(kIconSide, kIconSide);
    icon->setPixmap(iconPixmap(this));
    icon->setScaledContents(true);
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    layout->addSpacing(kTitleTop);
    layout->addWidget(textLabel(tr("Welcome to Inkwarden"), kTitleSize, this, QFont::Bold), 0, Qt::AlignHCenter);

    layout->addSpacing(kIntroTop);
    layout->addWidget(wrapping(secondaryLabel(tr("Let your AI agent ask you for a signature when a document needs one."),
                                              kIntroSize, this),
                               Qt::AlignHCenter));

    layout->addSpacing(kStepsTop);
    steps_ = new QVBoxLayout;
    steps_->setSpacing(0);
    layout->addLayout(steps_);

    auto* stepOneAccessory = new QWidget(this);
    auto* oneAccessory = new QHBoxLayout(stepOneAccessory);
    oneAccessory->setContentsMargins(0, 0, 0, 0);
    copyButton_ = new QPushButton(stepOneAccessory);
    copyButton_->setObjectName("copyPromptButton");
    copyButton_->setAutoDefault(false);
    connect(copyButton_, &QPushButton::clicked, this, [this] { copyPrompt(); });
    oneAccessory->addWidget(copyButton_);
    connectedMark_ = symbolLabel("checkmark.circle.fill", kGreen, kCheckBox, stepOneAccessory);
    connectedMark_->setObjectName("connectedMark");
    oneAccessory->addWidget(connectedMark_);
    steps_->addWidget(makeStep("cpu", kBlue, tr("Connect your AI"), tr("Paste the setup prompt into your AI agent."),
                               stepOneAccessory));

    // The status line sits 14 higher than its place between the steps, which keep their spacing.
    aboveStatus_ = new QSpacerItem(0, kStepSpacing - kStatusRaise, QSizePolicy::Minimum, QSizePolicy::Fixed);
    steps_->addItem(aboveStatus_);
    status_ = makeStatusLine();
    steps_->addWidget(status_);
    belowStatus_ = new QSpacerItem(0, kStepSpacing + kStatusRaise, QSizePolicy::Minimum, QSizePolicy::Fixed);
    steps_->addItem(belowStatus_);

    auto* tryIt = new QPushButton(tr("Try It"), this);
    tryIt->setObjectName("tryItButton");
    tryIt->setAutoDefault(false);
    connect(tryIt, &QPushButton::clicked, this, &WelcomeView::tryItRequested);
    steps_->addWidget(makeStep(
        "pencil.line", kPink, tr("Sign when it asks"),
        tr("A window opens, you draw your signature and confirm. Nothing is signed without you."), tryIt));
    steps_->addSpacing(kStepSpacing);
    steps_->addWidget(makeStep(
        "building.2", kOrange, tr("Sign for your company"),
        tr("Optional: add your name, role and company stamp under Company Signature in the menu."), nullptr));

    layout->addSpacing(kMinimumGap);
    layout->addStretch(1);
    layout->addWidget(
        wrapping(secondaryLabel(tr("A signature drawn here is a simple electronic signature. Some documents need a "
                                   "handwritten or qualified electronic signature instead; check what yours requires."),
                                kNoteSize, this),
                 Qt::AlignHCenter));
    layout->addSpacing(kNoteBottom);
    layout->addWidget(makeMenuBarLine(), 0, Qt::AlignHCenter);
    layout->addSpacing(kMenuBarBottom);

    auto* done = new QPushButton(tr("Done"), this);
    done->setObjectName("doneButton");
    done->setDefault(true);
    done->setFixedHeight(kDoneHeight);
    // The view's width is fixed, so the width on offer always exceeds the cap.
    done->setFixedWidth(kDoneMaxWidth);
    const QColor accent = panel::accent(palette());
    done->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                                       " font-size: 13px; padding: 0 12px; }"
                                       "QPushButton:pressed { background: %2; }")
                            .arg(accent.name(), accent.darker(120).name()));
    connect(done, &QPushButton::clicked, this, [this] {
        if (onDone_) onDone_();
    });
    layout->addWidget(done, 0, Qt::AlignHCenter);
    done->setFocus();
    // Return means Done wherever the focus is in the window, as with a window's default button.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, done, &QPushButton::click);
    }

    connect(&host_, &HostStatus::lastClientChanged, this, [this] { refresh(); });
    refresh();
}

QWidget* WelcomeView::makeStep(const char* symbol, const QColor& color, const QString& title, const QString& detail,
                               QWidget* accessory) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kStepRowSpacing);
    auto* mark = symbolLabel(symbol, color, kStepSymbolBox, row);
    mark->setFixedWidth(kStepSymbolFrame);
    mark->setAlignment(Qt::AlignCenter);
    layout->addWidget(mark, 0, Qt::AlignVCenter);

    auto* text = new QVBoxLayout;
    text->setSpacing(kStepTextSpacing);
    text->addWidget(textLabel(title, kStepTitleSize, row, QFont::DemiBold));
    text->addWidget(wrapping(secondaryLabel(detail, kStepDetailSize, row), Qt::AlignLeft));
    layout->addLayout(text, 1);
    if (accessory) {
        layout->addSpacing(kStepAccessoryGap);
        accessory->setParent(row);
        layout->addWidget(accessory, 0, Qt::AlignVCenter);
    }
    return row;
}

QWidget* WelcomeView::makeStatusLine() {
    auto* line = new QWidget(this);
    line->setObjectName("welcomeStatus");
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(kStatusIndent, 0, 0, 0);
    layout->setSpacing(kStatusSpacing);
    spinner_ = new Spinner(kSpinnerSide, line);
    spinner_->setObjectName("statusSpinner");
    layout->addWidget(spinner_, 0, Qt::AlignVCenter);
    statusText_ = secondaryLabel(QString(), kStatusSize, line);
    statusText_->setObjectName("statusText");
    layout->addWidget(statusText_, 1, Qt::AlignVCenter);
    return line;
}

QWidget* WelcomeView::makeMenuBarLine() {
    auto* line = new QWidget(this);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kMenuBarSpacing);
    const QColor ink = panel::secondary(palette());
    layout->addWidget(symbolLabel("menubar", ink, kMenuBarSize + 4, line), 0, Qt::AlignVCenter);
    layout->addWidget(secondaryLabel(tr("Inkwarden lives in your menu bar."), kMenuBarSize, line), 0, Qt::AlignVCenter);
    return line;
}

bool WelcomeView::isConnected() const { return !previewAsNew_ && host_.lastClient().has_value(); }

void WelcomeView::copyPrompt() {
    auto* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(setupPrompt(applicationExecutablePath(), AppSettings::endpoint())));
    copied_ = true;
    refresh();
}

void WelcomeView::refresh() {
    const bool connected = isConnected();
    connectedMark_->setVisible(connected);
    copyButton_->setVisible(!connected);
    copyButton_->setText(copied_ ? tr("Copied") : tr("Copy Prompt"));

    const bool waiting = !connected && copied_;
    status_->setVisible(connected || waiting);
    spinner_->setVisible(waiting);
    if (connected) statusText_->setText(tr("Connected: %1").arg(QString::fromStdString(*host_.lastClient())));
    else statusText_->setText(tr("Waiting for your AI to connect…"));
    // Without a status line the steps keep their usual spacing.
    if (status_->isVisibleTo(this)) {
        aboveStatus_->changeSize(0, kStepSpacing - kStatusRaise, QSizePolicy::Minimum, QSizePolicy::Fixed);
        belowStatus_->changeSize(0, kStepSpacing + kStatusRaise, QSizePolicy::Minimum, QSizePolicy::Fixed);
    } else {
        aboveStatus_->changeSize(0, kStepSpacing, QSizePolicy::Minimum, QSizePolicy::Fixed);
        belowStatus_->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    steps_->invalidate();
}

}  // namespace inkwarden
