#pragma once

#include <array>

#include <QWidget>

class QVBoxLayout;

namespace inkwarden {

class MenuDivider;
class StatusHeader;

/// The panel: one column 320 wide, as tall as its open sections: the status header, then the
/// signatures, company signature, connection and footer sections, each below a divider. A
/// section is any widget put in its place with `setSection`; a place without one takes no room.
/// Main thread only.
class MenuView : public QWidget {
    Q_OBJECT

public:
    enum class Section { signatures, company, connection, footer };

    static constexpr int kWidth = 320;

    explicit MenuView(QWidget* parent = nullptr);

    StatusHeader* header() const noexcept { return header_; }

    /// Puts `section` in its place (the panel takes it over), replacing and deleting the earlier one.
    void setSection(Section place, QWidget* section);
    QWidget* section(Section place) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    /// Emitted each time the panel is shown, so sections can read their settings again.
    void aboutToShow();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void fitHeight();

    QVBoxLayout* layout_;
    StatusHeader* header_;
    std::array<MenuDivider*, 4> dividers_{};
    std::array<QWidget*, 4> sections_{};
};

}  // namespace inkwarden
