#pragma once

#include "signature/document_preview.hpp"
#include "signature/request_gate.hpp"
#include "signature/signature_ink.hpp"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QPushButton;

namespace inkwarden {

class SignaturePad;

/// What the signature window shows.
struct SignatureQuestion {
    /// Who asks: the AI client's display name, or the product's for a try-out.
    QString client;
    QString reason;
    /// The document's name; shown when present and not empty.
    std::optional<QString> document;
    /// The document itself, shown beside the pad.
    std::optional<DocumentPreview> preview;
    /// The stored company text, offered with a check box; none when none is set up.
    std::optional<QString> companyText;
    /// The stored company stamp, offered with a check box; none when none is set up.
    std::optional<QImage> stamp;
    /// Strokes the pad starts with.
    Strokes initialStrokes;
};

/// The user's signature and choices.
struct Answer {
    Strokes strokes;
    /// The company text when the window offered it and its box stayed ticked.
    std::optional<QString> companyText;
    /// True only when the window offered a stamp and its box stayed ticked.
    bool includeStamp = false;
};

/// The signature window's content: who asks and why, the optional document beside the pad, the
/// pad, the company options, and Cancel / Sign. `onAnswer` gets the answer for Sign (Return, only
/// with ink) and none for Cancel (Escape). Main thread only.
class SignatureView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 504;
    static constexpr int kWidthWithPreview = 920;

    SignatureView(SignatureQuestion question, std::function<void(std::optional<Answer>)> onAnswer,
                  QWidget* parent = nullptr);

    SignaturePad* pad() const noexcept { return pad_; }
    /// The answer Sign would give now.
    Answer answer() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void strokesChanged();

    SignatureQuestion question_;
    std::function<void(std::optional<Answer>)> onAnswer_;
    SignaturePad* pad_;
    QPushButton* sign_;
    QPushButton* clear_;
    QCheckBox* addCompanyText_ = nullptr;
    QCheckBox* addStamp_ = nullptr;
};

/// Builds the window of one signature request around a `SignatureView`.
using SignatureWindowFactory = std::function<std::unique_ptr<RequestWindow>(
    SignatureQuestion question, RequestGate::Finish<std::optional<Answer>> finish)>;

/// The signature window on the screen.
std::unique_ptr<RequestWindow> signatureWindow(SignatureQuestion question,
                                               RequestGate::Finish<std::optional<Answer>> finish);

}  // namespace inkwarden
