#include "ui/connection_section.hpp"

#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtDebug>

#include "shell/app_settings.hpp"
#include "ui/chevron.hpp"
#include "ui/collapsible_section_header.hpp"
#include "ui/menu_row.hpp"
#include "ui/panel_settings.hpp"
#include "ui/panel_style.hpp"
#include "ui/setup_prompt.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kSectionSpacing = 4;
constexpr int kSidePadding = 8;
constexpr int kNoteSize = 11;
constexpr int kManualSpacing = 8;
constexpr int kManualTop = 6;
constexpr int kManualBottom = 2;
constexpr int kConfirmSpacing = 6;
constexpr int kConfirmVertical = 4;
constexpr int kConfirmTitleSize = 13;
constexpr int kButtonsTop = 2;
constexpr int kPickerSize = 13;

const QString kPromptKey = QStringLiteral("prompt");

QLabel* noteLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(panel::font(kNoteSize));
    label->setWordWrap(true);
    panel::setTextColor(label, panel::secondary(parent->palette()));
    return label;
}

}  // namespace

ConnectionSection::ConnectionSection(std::function<void()> restartHost, QWidget* parent)
    : QWidget(parent), restartHost_(std::move(restartHost)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSectionSpacing);

    header_ = new CollapsibleSectionHeader(tr("Connect Your AI"), false, this);
    header_->setObjectName("connectHeader");
    connect(header_, &CollapsibleSectionHeader::clicked, this, [this] { toggleSection(); });
    layout->addWidget(header_);

    content_ = new QWidget(this);
    auto* content = new QVBoxLayout(content_);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(kSectionSpacing);
    layout->addWidget(content_);

    promptRow_ = new MenuRow(QStringLiteral("doc.on.doc"), true, tr("Copy Setup Prompt"), std::nullopt, content_);
    promptRow_->setObjectName("copyPromptRow");
    promptRow_->setToolTip(tr("Paste it into your AI agent, and it connects itself."));
    connect(promptRow_, &MenuRow::clicked, this, [this] {
        copy(kPromptKey, setupPrompt(applicationExecutablePath(), AppSettings::endpoint()));
    });
    content->addWidget(promptRow_);

    notice_ = new QWidget(content_);
    notice_->setObjectName("tokenNotice");
    auto* notice = new QHBoxLayout(notice_);
    notice->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    auto* noticeSymbol = new QLabel(notice_);
    noticeSymbol->setPixmap(symbolPixmap(QStringLiteral("checkmark.circle"), panel::secondary(palette()), kNoteSize,
                                         devicePixelRatioF()));
    notice->addWidget(noticeSymbol, 0, Qt::AlignTop);
    notice->addWidget(
        noteLabel(tr("New access token created. Paste the setup prompt into your AI apps again."), notice_), 1);
    content->addWidget(notice_);

    manualRow_ = new MenuRow(std::nullopt, false, tr("Manual Setup"), std::nullopt, content_);
    manualRow_->setObjectName("manualSetupRow");
    manualChevron_ = new Chevron;
    manualRow_->setAccessory(manualChevron_);
    connect(manualRow_, &MenuRow::clicked, this, [this] { toggleManualSetup(); });
    content->addWidget(manualRow_);

    manual_ = new QWidget(content_);
    auto* manual = new QVBoxLayout(manual_);
    manual->setContentsMargins(0, kManualTop, 0, kManualBottom);
    manual->setSpacing(kManualSpacing);
    content->addWidget(manual_);

    picker_ = new QComboBox(manual_);
    picker_->setObjectName("clientPicker");
    picker_->setAccessibleName(tr("App"));
    picker_->setFont(panel::font(kPickerSize));
    for (auto client : ClientSetup::allCases()) picker_->addItem(client.name());
    connect(picker_, &QComboBox::activated, this, [this](int index) { pickClient(index); });
    auto* pickerRow = new QHBoxLayout;
    pickerRow->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    pickerRow->addWidget(picker_);
    manual->addLayout(pickerRow);

    hint_ = noteLabel(QString(), manual_);
    hint_->setObjectName("clientHint");
    hint_->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    manual->addWidget(hint_);

    settingsRow_ = new MenuRow(QStringLiteral("doc.on.doc"), true, tr("Copy Settings"), std::nullopt, manual_);
    settingsRow_->setObjectName("copySettingsRow");
    connect(settingsRow_, &MenuRow::clicked, this, [this] {
        const auto client = PanelSettings::connectClient();
        copy(QString::fromUtf8(client.rawValue()),
             client.snippet(applicationExecutablePath(), AppSettings::endpoint(), [] { return AppSettings::token(); }));
    });
    manual->addWidget(settingsRow_);

    resetRow_ = new MenuRow(std::nullopt, false, tr("Reset Access Token…"), std::nullopt, manual_);
    resetRow_->setObjectName("resetTokenRow");
    resetRow_->setToolTip(tr("Disconnects every AI app until you give it the new settings"));
    connect(resetRow_, &MenuRow::clicked, this, [this] { setConfirmingReset(true); });
    manual->addWidget(resetRow_);

    confirmation_ = makeConfirmation();
    manual->addWidget(confirmation_);

    refresh();
}

QWidget* ConnectionSection::makeConfirmation() {
    auto* box = new QWidget(manual_);
    box->setObjectName("resetConfirmation");
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(kSidePadding, kConfirmVertical, kSidePadding, kConfirmVertical);
    column->setSpacing(kConfirmSpacing);
    auto* title = new QLabel(tr("Reset the access token?"), box);
    title->setFont(panel::font(kConfirmTitleSize, QFont::DemiBold));
    column->addWidget(title);
    column->addWidget(
        noteLabel(tr("Every connected AI app is disconnected until you give it the new settings."), box));

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, kButtonsTop, 0, 0);
    buttons->addStretch(1);
    auto* cancel = new QPushButton(tr("Cancel"), box);
    cancel->setObjectName("cancelResetButton");
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cancel, &QPushButton::clicked, this, [this] { setConfirmingReset(false); });
    auto* reset = new QPushButton(tr("Reset"), box);
    reset->setObjectName("confirmResetButton");
    reset->setShortcut(QKeySequence(Qt::Key_Return));
    // A destructive choice: drawn in red so it is not mistaken for the safe one.
    QPalette destructive = reset->palette();
    destructive.setColor(QPalette::ButtonText, QColor(0xd7, 0x26, 0x1e));
    reset->setPalette(destructive);
    connect(reset, &QPushButton::clicked, this, [this] { resetToken(); });
    buttons->addWidget(cancel);
    buttons->addWidget(reset);
    column->addLayout(buttons);
    return box;
}

bool ConnectionSection::isExpanded() const {
    return connectExpanded(PanelSettings::connectSection(), AppSettings::hasConnectedClient());
}

void ConnectionSection::refresh() {
    const bool expanded = isExpanded();
    header_->setExpanded(expanded);
    content_->setVisible(expanded);
    notice_->setVisible(tokenWasReset_);
    showCopyRow(promptRow_, tr("Copy Setup Prompt"), kPromptKey);

    manualChevron_->setOpen(showManualSetup_);
    manual_->setVisible(showManualSetup_);
    const auto client = PanelSettings::connectClient();
    {
        const QSignalBlocker blocker(picker_);
        picker_->setCurrentIndex(static_cast<int>(client.kind()));
    }
    hint_->setText(client.hint());
    showCopyRow(settingsRow_, tr("Copy Settings"), QString::fromUtf8(client.rawValue()));
    const bool http = client == ClientSetup::otherHTTP;
    resetRow_->setVisible(http && !confirmingReset_);
    confirmation_->setVisible(http && confirmingReset_);
}

void ConnectionSection::showCopyRow(MenuRow* row, const QString& title, const QString& key) {
    const bool marked = copied_ == key;
    row->setIcon(marked ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"), true);
    row->setTitle(marked ? tr("Copied") : title);
}

void ConnectionSection::toggleSection() {
    const bool open = !isExpanded();
    try {
        PanelSettings::setConnectSection(open ? "open" : "closed");
    } catch (const std::exception& error) {
        qWarning("Could not store the connection section state: %s", error.what());
    }
    refresh();
}

void ConnectionSection::toggleManualSetup() {
    showManualSetup_ = !showManualSetup_;
    refresh();
}

void ConnectionSection::pickClient(int index) {
    const auto& cases = ClientSetup::allCases();
    if (index < 0 || static_cast<std::size_t>(index) >= cases.size()) return;
    try {
        PanelSettings::setConnectClient(cases[static_cast<std::size_t>(index)]);
    } catch (const std::exception& error) {
        qWarning("Could not store the picked client: %s", error.what());
    }
    copied_.reset();
    refresh();
}

void ConnectionSection::copy(const QString& key, const std::string& text) {
    auto* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
    copied_ = key;
    refresh();
}

void ConnectionSection::setConfirmingReset(bool confirming) {
    confirmingReset_ = confirming;
    refresh();
}

void ConnectionSection::resetToken() {
    try {
        AppSettings::setToken(AppSettings::randomToken());
    } catch (const std::exception& error) {
        // Nothing changed: the old token stays in force, so say nothing of a new one.
        qWarning("Could not store a new access token: %s", error.what());
        return;
    }
    restartHost_();
    copied_.reset();
    confirmingReset_ = false;
    tokenWasReset_ = true;
    refresh();
}

}  // namespace inkwarden
