#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include <QImage>
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace inkwarden {

class CollapsibleSectionHeader;
class StampPreview;

/// The panel's "Company Signature" section: the company text, stored as typed on every
/// keystroke, and the company stamp with its preview, choose, replace and remove. It shows the
/// stored stamp again after every stamp change, whoever made it. Main thread only.
class CompanySection : public QWidget {
    Q_OBJECT

public:
    /// Asks the user for an image file; none when they cancel.
    using ChooseFile = std::function<std::optional<QString>(QWidget* parent)>;
    /// Writes one line of the application log.
    using Note = std::function<void(std::string_view line)>;

    CompanySection(ChooseFile chooseFile, Note note, QWidget* parent = nullptr);

    /// The standard file chooser for stamp images.
    static std::optional<QString> chooseStampFile(QWidget* parent);

    bool isExpanded() const;

    /// Reads the stored company text and stamp again.
    void refresh();

    /// The actions of the stamp row.
    void chooseStamp();
    void removeStamp();

    /// The stamp shown, none when no readable image is stored.
    const std::optional<QImage>& stamp() const noexcept { return stamp_; }
    /// The red line under the stamp row, none when hidden.
    const std::optional<QString>& stampProblem() const noexcept { return stampProblem_; }

private:
    void toggle();
    void reloadStamp();
    void reloadText();
    void storeText();
    void setStampProblem(std::optional<QString> problem);

    ChooseFile chooseFile_;
    Note note_;
    std::optional<QImage> stamp_;
    std::optional<QString> stampProblem_;

    CollapsibleSectionHeader* header_;
    QWidget* content_;
    QPlainTextEdit* editor_;
    StampPreview* preview_;
    QPushButton* chooseButton_;
    QPushButton* removeButton_;
    QLabel* problem_;
};

}  // namespace inkwarden
