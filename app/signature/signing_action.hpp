#pragma once

#include "signature/signed_pdf.hpp"
#include "signature/signing_model.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace inkwarden {

/// One entry per document in job order; none for a document left out.
using SigningAnswers = std::vector<std::optional<SignedDocument>>;

/// What the window holds when the user signs.
struct SigningChoices {
    /// The signature rendered afresh, with the company text as its caption when that is added;
    /// none when the pad holds no ink.
    std::optional<RenderedSignature> signature;
    /// A company text exists and "Add company text" is on.
    bool includedCompanyText = false;
    /// The stamp when there is one and "Add company stamp" is on; null otherwise.
    QImage stamp;
};

/// What signing came to: the answers, or a problem to show while the window stays open, or
/// neither when there was no usable ink.
struct SigningOutcome {
    std::optional<SigningAnswers> answers;
    std::optional<QString> problem;
};

/// Puts the signature (and the stamp) on the chosen page of every ticked document and writes the
/// signed PDFs. Main thread only.
class SigningAction {
public:
    SigningAction() = delete;

    /// Width of the page picture when one document is signed, and each when several are.
    static constexpr int kPictureWidthOne = 800;
    static constexpr int kPictureWidthSeveral = 500;

    /// The signature's rect on a page of `page` size: the lowest point of the ink on the
    /// placement's bottom line, what lies below the ink hanging under it.
    static QRectF signatureRect(QSizeF page, const Placement& place, bool fitsBox, const RenderedSignature& signature);

    /// The stamp's rect, its bottom edge on the placement's bottom line; `stampSize` in points.
    static QRectF stampRect(QSizeF page, const Placement& place, QSizeF stampSize);

    /// Signs `jobs` with the window's `documents` (same length and order).
    static SigningOutcome sign(const std::vector<SigningJob>& jobs, const std::vector<DocumentState>& documents,
                               const SigningChoices& choices);

    /// A PNG picture of page `index` (from 0) of `pdf`, `width` pixels wide at the page's shape;
    /// none when it cannot be made.
    static std::optional<std::string> pagePicture(std::string_view pdf, int index, int width);
};

}  // namespace inkwarden
