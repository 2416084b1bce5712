#include "ui/about_dialog.hpp"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/build_info.hpp"
#include "ui/panel_style.hpp"
#include "ui/symbol.hpp"

namespace inkwarden {
namespace {

constexpr int kIconSide = 64;
constexpr int kNameSize = 14;
constexpr int kVersionSize = 11;
constexpr int kWidth = 280;
constexpr int kPadding = 20;
constexpr int kSpacing = 8;
constexpr int kCreditsSize = 11;

}  // namespace

AboutDialog::AboutDialog(std::function<void(const QUrl&)> openUrl, QWidget* parent)
    : QDialog(parent), credits_(new QLabel(this)) {
    setObjectName("aboutDialog");
    setWindowTitle(tr("About Inkwarden"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedWidth(kWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(kSpacing);

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(kIconSide, kIconSide));
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("Inkwarden"), this);
    name->setFont(panel::font(kNameSize, QFont::Bold));
    layout->addWidget(name, 0, Qt::AlignHCenter);

    auto* version = new QLabel(tr("Version %1 (%2)")
                                   .arg(QString::fromUtf8(bundleVersion().data(), static_cast<int>(bundleVersion().size())),
                                        QString::fromUtf8(bundleBuild().data(), static_cast<int>(bundleBuild().size()))),
                               this);
    version->setObjectName("aboutVersion");
    version->setFont(panel::font(kVersionSize));
    layout->addWidget(version, 0, Qt::AlignHCenter);

    credits_->setObjectName("aboutCredits");
    credits_->setTextFormat(Qt::RichText);
    credits_->setFont(panel::font(kCreditsSize));
    panel::setTextColor(credits_, panel::secondary(palette()));
    credits_->setWordWrap(true);
    credits_->setAlignment(Qt::AlignHCenter);
    credits_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    credits_->setOpenExternalLinks(false);
    connect(credits_, &QLabel::linkActivated, this,
            [openUrl = std::move(openUrl)](const QString& link) { openUrl(QUrl(link, QUrl::StrictMode)); });
    layout->addWidget(credits_);
}

void AboutDialog::setCredits(const QString& richText) {
    credits_->setText(richText);
    adjustSize();
}

QString AboutDialog::credits() const { return credits_->text(); }

}  // namespace inkwarden
