#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace inkwarden {

/// What an approval dialog asks: a headline, a sentence or two, and what the change concerns.
struct ApprovalQuestion {
    QString title;
    QString detail;
    std::optional<QString> document;      ///< shown when present and not empty
    std::optional<QString> text;          ///< the new text; shown whenever present, empty too
    std::optional<QString> previousText;  ///< the text it replaces; shown when not empty
    std::optional<QImage> image;          ///< a stamp to preview
    QString confirm;                      ///< the approving button's label
};

/// The yes-or-no dialog's content. `onAnswer` gets true for the confirm button (Return) and false
/// for "Cancel" (Escape). Main thread only.
class ApprovalView final : public QWidget {
public:
    ApprovalView(const ApprovalQuestion& question, std::function<void(bool)> onAnswer, QWidget* parent = nullptr);

private:
    std::function<void(bool)> onAnswer_;
};

}  // namespace inkwarden
