#include "signature/signing_action.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cmath>

namespace inkwarden {

QRectF SigningAction::signatureRect(QSizeF page, const Placement& place, bool fitsBox,
                                    const RenderedSignature& signature) {
    const double fraction = fitsBox ? place.size : place.size * (signature.width / kSignatureScale) / kPadWidth;
    const double aspect = static_cast<double>(signature.width) / std::max(1, signature.height);
    const double w = fraction * page.width();
    const double h = w / aspect;
    const double hang = 1 - signature.baseline;
    return QRectF(place.x * page.width(), (1 - place.bottom) * page.height() - h * hang, w, h);
}

QRectF SigningAction::stampRect(QSizeF page, const Placement& place, QSizeF stampSize) {
    const double w = place.size * page.width();
    const double h = w / (stampSize.width() / std::max(1.0, stampSize.height()));
    return QRectF(place.x * page.width(), (1 - place.bottom) * page.height(), w, h);
}

SigningOutcome SigningAction::sign(const std::vector<SigningJob>& jobs, const std::vector<DocumentState>& documents,
                                   const SigningChoices& choices) {
    if (!choices.signature) return {};
    const auto& signature = *choices.signature;
    QImage ink;
    ink.loadFromData(reinterpret_cast<const uchar*>(signature.png.data()), static_cast<int>(signature.png.size()),
                     "PNG");
    if (ink.isNull()) return {};
    const bool withStamp = !choices.stamp.isNull();
    const int pictureWidth = jobs.size() > 1 ? kPictureWidthSeveral : kPictureWidthOne;

    SigningAnswers answers;
    for (std::size_t k = 0; k < jobs.size() && k < documents.size(); ++k) {
        const auto& job = jobs[k];
        const auto& state = documents[k];
        const int i = state.signature.page;
        if (!state.include || i < 0 || i >= job.document->pageCount()) {
            answers.emplace_back();
            continue;
        }
        std::vector<SignedPDF::Overlay> overlays;
        // A page whose size cannot be read cannot be written either; the writer tells that.
        if (auto page = job.document->page(i))
            overlays.push_back({i, ink, signatureRect(page->displayedSize(), state.signature.place, state.fitsBox,
                                                      signature)});
        if (withStamp) {
            const int j = state.stamp.page;
            if (auto page = job.document->page(j))
                overlays.push_back({j, choices.stamp,
                                    stampRect(page->displayedSize(), state.stamp.place, QSizeF(choices.stamp.size()))});
        }
        auto pdf = SignedPDF::write(job.document->pdf(), overlays);
        if (!pdf) return {std::nullopt, QCoreApplication::translate("DocumentSigningView", "The signed PDF couldn't be written.")};
        SignedDocument signed_;
        signed_.pagePNG = pagePicture(*pdf, i, pictureWidth);
        signed_.pdf = std::move(*pdf);
        signed_.page = i + 1;
        signed_.includedCompanyText = choices.includedCompanyText;
        signed_.includedStamp = withStamp;
        answers.push_back(std::move(signed_));
    }
    return {std::move(answers), std::nullopt};
}

std::optional<std::string> SigningAction::pagePicture(std::string_view pdf, int index, int width) {
    QBuffer bytes;
    bytes.setData(pdf.data(), static_cast<qsizetype>(pdf.size()));
    bytes.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&bytes);
    if (document.status() != QPdfDocument::Status::Ready || index < 0 || index >= document.pageCount()) return std::nullopt;
    const auto size = document.pagePointSize(index);
    if (!(size.width() > 0 && size.height() > 0)) return std::nullopt;
    const int height = std::max(1, static_cast<int>(std::lround(width * size.height() / size.width())));
    // Pages are paper: what they leave transparent shows white.
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    auto rendered = document.render(index, picture.size());
    if (rendered.isNull()) return std::nullopt;
    {
        QPainter painter(&picture);
        painter.drawImage(0, 0, rendered);
    }
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!picture.save(&out, "PNG")) return std::nullopt;
    return png.toStdString();
}

}  // namespace inkwarden
