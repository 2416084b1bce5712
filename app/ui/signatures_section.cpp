#include "ui/signatures_section.hpp"

#include "signature/signature_store.hpp"
#include "ui/menu_row.hpp"
#include "ui/panel_style.hpp"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace inkwarden {
namespace {

constexpr int kNoFilesSize = 12;
constexpr int kNoFilesPaddingX = 8;
constexpr int kNoFilesPaddingY = 2;

}  // namespace

SignaturesSection::SignaturesSection(SignatureStore& store, TryOut tryOut, std::function<void()> closePanel,
                                     QWidget* parent)
    : QWidget(parent),
      store_(store),
      tryOut_(std::move(tryOut)),
      closePanel_(std::move(closePanel)),
      deleteRow_(new MenuRow(QStringLiteral("trash"), false, tr("Delete Signatures Now"))),
      noFiles_(new QLabel(tr("No signatures on disk."))),
      tryRow_(new MenuRow(QStringLiteral("pencil.line"), true, tr("Try It"))) {
    setObjectName(QStringLiteral("signaturesSection"));
    deleteRow_->setObjectName(QStringLiteral("deleteSignaturesRow"));
    tryRow_->setObjectName(QStringLiteral("tryItRow"));
    noFiles_->setObjectName(QStringLiteral("noSignatures"));
    noFiles_->setFont(panel::font(kNoFilesSize));
    noFiles_->setContentsMargins(kNoFilesPaddingX, kNoFilesPaddingY, kNoFilesPaddingX, kNoFilesPaddingY);
    panel::setTextColor(noFiles_, panel::secondary(palette()));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(deleteRow_);
    column->addWidget(noFiles_);
    column->addWidget(tryRow_);

    connect(deleteRow_, &MenuRow::clicked, this, [this] {
        // Every file goes, also those handed out less than ten minutes ago.
        SignatureStore::removeAll();
        store_.refresh();
    });
    connect(tryRow_, &MenuRow::clicked, this, &SignaturesSection::startTryOut);
    connect(&store_, &SignatureStore::countChanged, this, &SignaturesSection::showCount);
    showCount();
}

void SignaturesSection::showCount() {
    const int count = store_.count();
    deleteRow_->setVisible(count > 0);
    noFiles_->setVisible(count == 0);
    if (count > 0) deleteRow_->setSubtitle(tr("%1 on disk, deleted after 10 minutes").arg(count));
}

void SignaturesSection::startTryOut() {
    if (closePanel_) closePanel_();
    QPointer<SignaturesSection> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self || !self->tryOut_) return;
        self->tryOut_([self](bool worked) {
            if (!self) return;
            self->tryResult_ =
                worked ? std::optional<QString>(tr("It works. The test signature was deleted.")) : std::nullopt;
            self->tryRow_->setSubtitle(self->tryResult_);
        });
    });
}

}  // namespace inkwarden
