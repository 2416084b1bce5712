#include "signature/signing_model.hpp"

#include <QCoreApplication>

#include <algorithm>

namespace inkwarden {

namespace {

constexpr Placement kDefaultSignature{0.12, 0.8, 0.42};
constexpr double kStampSize = 0.22;

}  // namespace

SigningJob SigningJob::from(const SigningRequest& request) {
    SigningJob job;
    job.name = request.name;
    job.document = SigningDocument::open(request.file);
    const auto count = job.document->pageCount();
    const std::int64_t wanted = request.page && *request.page >= 2 ? *request.page : 1;
    job.page = static_cast<int>(std::min<std::int64_t>(wanted, count));
    if (request.anchor && !request.anchor->empty()) {
        if (auto found = job.document->find(QString::fromStdString(*request.anchor), job.page - 1)) {
            job.page = found->first + 1;
            job.anchor = found->second;
        }
    }
    job.signatureBox = request.signatureBox;
    job.stampBox = request.stampBox;
    return job;
}

DocumentState DocumentState::initial(const SigningJob& job) {
    DocumentState state;
    const int p = job.page - 1;
    state.pageSizes = job.document->pageSizes();
    double x = kDefaultSignature.x, bottom = kDefaultSignature.bottom;
    auto geometry = job.document->page(p);
    if (job.anchor && geometry) {
        const auto size = geometry->displayedSize();
        const auto r = geometry->toDisplayed().mapRect(*job.anchor);
        // The ink stands 4 points above the anchor text, lined up with its left edge.
        x = std::min(0.7, std::max(0.0, r.left() / size.width()));
        bottom = std::min(1.0, std::max(0.1, 1 - (r.bottom() + 4) / size.height()));
    }
    state.signature = {p, job.signatureBox.value_or(Placement{x, bottom, kDefaultSignature.size})};
    const auto& s = state.signature.place;
    state.stamp = {p, job.stampBox.value_or(Placement{std::min(0.72, s.x + 0.45), s.bottom, kStampSize})};
    state.fitsBox = job.signatureBox.has_value();
    state.include = true;
    return state;
}

std::vector<PlacedItem> placedItems(DocumentState& state, const std::optional<RenderedSignature>& signature,
                                    const QImage& stamp, bool addStamp) {
    std::vector<PlacedItem> items;
    PlacedItem ink;
    ink.id = "signature";
    ink.label = QCoreApplication::translate("DocumentSigningView", "Signature");
    ink.placed = &state.signature;
    const double size = state.signature.place.size;
    if (signature) {
        ink.image.loadFromData(reinterpret_cast<const uchar*>(signature->png.data()),
                               static_cast<int>(signature->png.size()), "PNG");
        ink.aspect = static_cast<double>(signature->width) / std::max(1, signature->height);
        ink.width = state.fitsBox ? size : (signature->width / kSignatureScale) * size / kPadWidth;
        ink.baseline = signature->baseline;
    } else {
        // An empty pad stands for a signature of a typical shape.
        ink.aspect = 2.6;
        ink.width = state.fitsBox ? size : size * 240 / kPadWidth;
        ink.baseline = 1.0;
    }
    items.push_back(std::move(ink));
    if (!stamp.isNull() && addStamp) {
        PlacedItem box;
        box.id = "stamp";
        box.image = stamp;
        box.aspect = static_cast<double>(stamp.width()) / std::max(1, stamp.height());
        box.width = state.stamp.place.size;
        box.baseline = 1.0;
        box.placed = &state.stamp;
        items.push_back(std::move(box));
    }
    return items;
}

}  // namespace inkwarden
