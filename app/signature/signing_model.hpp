#pragma once

#include "signature/signing_document.hpp"
#include "signature/signing_request.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace inkwarden {

/// A request opened for display. Main thread only (the document is).
struct SigningJob {
    std::string name;
    /// Never null.
    std::shared_ptr<SigningDocument> document;
    /// The page to show first, counted from 1, within the document.
    int page = 1;
    /// The bounds of the found anchor text, in the own PDF space of `page`.
    std::optional<QRectF> anchor;
    std::optional<Placement> signatureBox;
    std::optional<Placement> stampBox;

    /// Opens the request's document (throwing its ToolError unchanged) on the page asked for,
    /// or on the page where the anchor text is found: on the asked page first, else the earliest.
    static SigningJob from(const SigningRequest& request);
};

/// Where the boxes of one document stand while the window is open.
struct DocumentState {
    bool include = true;
    PagePlacement signature;
    PagePlacement stamp;
    /// The AI gave the signature box: the signature image is fitted to its width.
    bool fitsBox = false;
    /// W × H of every page as displayed.
    std::vector<QSizeF> pageSizes;

    /// Before the user moves anything: the AI's boxes, else the signature just above the anchor
    /// text (or at the default spot) and the stamp to its right, both on the job's page.
    static DocumentState initial(const SigningJob& job);
};

/// The signature as the ink renderer made it: PNG bytes at 3 pixels per point, and the share of
/// the image's height, from its top, at which the lowest point of the ink lies.
struct RenderedSignature {
    std::string png;
    int width = 0;
    int height = 0;
    double baseline = 1;
};

/// One movable box the pages view draws.
struct PlacedItem {
    /// "signature" or "stamp".
    std::string id;
    /// Null while nothing is drawn.
    QImage image;
    QString label;
    /// Image width / height.
    double aspect = 1;
    /// The image's width as a share of W; its height on the page is width × W / aspect.
    double width = 0;
    /// Share of the image's height, from its top, where the box's bottom line runs.
    double baseline = 1;
    /// The placement the box reads and moves.
    PagePlacement* placed = nullptr;
};

/// The pad's width in points, which an unfitted signature box is measured against.
inline constexpr double kPadWidth = 460;
/// Pixels per point of a rendered signature.
inline constexpr double kSignatureScale = 3;

/// The boxes of one document: the signature, then the stamp when there is a stamp image (not
/// null) and it is to be added.
std::vector<PlacedItem> placedItems(DocumentState& state, const std::optional<RenderedSignature>& signature,
                                    const QImage& stamp, bool addStamp);

}  // namespace inkwarden
