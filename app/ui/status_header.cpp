#include "ui/status_header.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "host/host_status.hpp"
#include "ui/panel_style.hpp"

namespace inkwarden {
namespace {

constexpr int kTitleSize = 13;
constexpr int kStatusSize = 11;
constexpr int kDotSide = 7;
constexpr int kSidePadding = 8;
constexpr int kVerticalPadding = 2;
constexpr int kDotGap = 6;
const QColor kRunning(0x34, 0xc7, 0x59);
const QColor kStopped(0xff, 0x95, 0x00);

QString tr(const char* text) { return QCoreApplication::translate("StatusHeader", text); }

}  // namespace

QString statusLine(const HostState& state) {
    if (!state.running) return tr("Not running");
    if (state.lastClient) return tr("Connected: %1").arg(*state.lastClient);
    return tr("Ready for your AI");
}

QString statusTooltip(const HostState& state, long long port) {
    if (state.problem) return *state.problem;
    return tr("Listening on 127.0.0.1:%1").arg(port);
}

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) { setFixedSize(kDotSide, kDotSide); }

void StatusDot::setRunning(bool running) {
    if (running_ == running) return;
    running_ = running;
    update();
}

QColor StatusDot::color() const { return running_ ? kRunning : kStopped; }

QSize StatusDot::sizeHint() const { return {kDotSide, kDotSide}; }

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color());
    painter.drawEllipse(QRectF(rect()));
}

StatusHeader::StatusHeader(QWidget* parent) : QWidget(parent), status_(new QLabel(this)), dot_(new StatusDot(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kSidePadding, kVerticalPadding, kSidePadding, kVerticalPadding);
    layout->setSpacing(kDotGap);
    auto* title = new QLabel(QStringLiteral("Inkwarden"), this);
    title->setObjectName("title");
    title->setFont(panel::font(kTitleSize, QFont::Bold));
    layout->addWidget(title, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(dot_, 0, Qt::AlignVCenter);
    status_->setObjectName("status");
    status_->setFont(panel::font(kStatusSize));
    status_->setWordWrap(false);
    // One line: a long client name is cut at the panel's edge instead of widening it.
    status_->setMinimumWidth(1);
    panel::setTextColor(status_, panel::secondary(palette()));
    layout->addWidget(status_, 0, Qt::AlignVCenter);
    dot_->setObjectName("dot");
}

void StatusHeader::setHostState(const HostState& state, long long port) {
    dot_->setRunning(state.running);
    status_->setText(statusLine(state));
    setToolTip(statusTooltip(state, port));
}

}  // namespace inkwarden

namespace inkwarden {

QString StatusHeader::statusText() const { return status_->text(); }

HostState hostStateOf(const HostStatus& status) {
    auto text = [](const std::optional<std::string>& value) -> std::optional<QString> {
        if (!value) return std::nullopt;
        return QString::fromStdString(*value);
    };
    return {status.running(), text(status.problem()), text(status.lastClient())};
}

void StatusHeader::follow(const HostStatus& status, std::function<long long()> port) {
    auto update = [this, &status, port = std::move(port)] { setHostState(hostStateOf(status), port()); };
    for (auto signal : {&HostStatus::runningChanged, &HostStatus::problemChanged, &HostStatus::lastClientChanged}) {
        connect(&status, signal, this, update);
    }
    update();
}

}  // namespace inkwarden
