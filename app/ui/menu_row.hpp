#pragma once

#include <optional>

#include <QString>

#include "ui/hover_button.hpp"

class QHBoxLayout;
class QLabel;

namespace inkwarden {

class SymbolBadge;

/// A menu-like row of the panel: an optional round symbol badge, a title, an optional wrapping
/// subtitle and an optional trailing accessory. Clicking anywhere on it emits `clicked()` once;
/// what the click does is the caller's business. Main thread only.
class MenuRow : public HoverButton {
    Q_OBJECT

public:
    MenuRow(std::optional<QString> icon, bool iconProminent, const QString& title,
            std::optional<QString> subtitle = std::nullopt, QWidget* parent = nullptr);

    void setIcon(std::optional<QString> icon, bool prominent);
    void setTitle(const QString& title);
    void setSubtitle(std::optional<QString> subtitle);

    /// Puts `accessory` at the right edge (the row takes it over), replacing an earlier one.
    void setAccessory(QWidget* accessory);

    std::optional<QString> iconName() const { return icon_; }
    QString title() const;
    std::optional<QString> subtitle() const;

private:
    void applyPadding();

    std::optional<QString> icon_;
    QHBoxLayout* layout_;
    SymbolBadge* badge_;
    QLabel* title_;
    QLabel* subtitle_;
    QWidget* accessory_ = nullptr;
};

/// The round badge of a row: a symbol on a soft disc, or white on the accent colour.
class SymbolBadge : public QWidget {
    Q_OBJECT

public:
    explicit SymbolBadge(QWidget* parent = nullptr);

    void setSymbol(const QString& name, bool prominent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    bool prominent_ = false;
};

}  // namespace inkwarden
