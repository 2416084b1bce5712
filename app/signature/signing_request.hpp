#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace inkwarden {

/// A box on a page in fractions of the page as displayed: the left edge, the line the box stands
/// on measured from the top, and the width.
struct Placement {
    double x = 0;
    double bottom = 0;
    double size = 0;
    bool operator==(const Placement&) const = default;
};

/// A placement on one page, the page counted from 0.
struct PagePlacement {
    int page = 0;
    Placement place;
    bool operator==(const PagePlacement&) const = default;
};

/// One document to sign, as a tool read it from its arguments.
struct SigningRequest {
    /// The file name shown to the user and used for the signed PDF.
    std::string name;
    /// The document's bytes.
    std::string file;
    /// Counted from 1; unchecked until the document is opened.
    std::optional<std::int64_t> page;
    std::optional<std::string> anchor;
    std::optional<Placement> signatureBox;
    std::optional<Placement> stampBox;
    bool operator==(const SigningRequest&) const = default;
};

/// One signed document as the signing window hands it back.
struct SignedDocument {
    /// The whole signed PDF.
    std::string pdf;
    /// The page that carries the signature, counted from 1.
    std::int64_t page = 1;
    /// A picture of that page after signing, when one could be made.
    std::optional<std::string> pagePNG;
    bool includedCompanyText = false;
    bool includedStamp = false;
};

}  // namespace inkwarden
