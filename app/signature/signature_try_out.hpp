#pragma once

#include "signature/signature_capture.hpp"

#include <functional>

namespace inkwarden {

/// A trial signature: the same window and path as an AI client's request, up to saving the
/// files, after which every signature file is deleted again. Nothing reaches a client. Main
/// thread only.
class SignatureTryOut {
public:
    /// `capture` and `store` must outlive every try-out.
    SignatureTryOut(SignatureCapture& capture, SignatureStore& store) : capture_(capture), store_(store) {}

    /// The panel's try-out: offers the company text and stamp; `done(true)` once the signature
    /// was saved and the files deleted, `done(false)` for anything else (busy gate, cancel,
    /// time-out, no ink, a failed save), which deletes nothing.
    void fromPanel(std::function<void(bool worked)> done);

    /// The welcome window's try-out: no company text or stamp offered, and every signature file
    /// deleted at the end whatever happened, a busy gate included.
    void fromWelcome(std::function<void()> done = {});

    static QString reason();

private:
    SignatureCapture& capture_;
    SignatureStore& store_;
};

}  // namespace inkwarden
