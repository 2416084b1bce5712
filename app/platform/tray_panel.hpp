#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>

class QSystemTrayIcon;
class QWidget;

namespace inkwarden {

/// Where the panel lives: behind a tray icon, as a frameless popup opened next to the icon by
/// a click; or, where the desktop has no tray, as an ordinary window shown at start. The panel
/// is only hidden when closed, never destroyed, and closing it never ends the application.
/// Main thread only.
class TrayPanel : public QObject {
    Q_OBJECT

public:
    /// Takes over `panel` (a top-level widget without a parent).
    TrayPanel(QWidget* panel, bool trayAvailable, QObject* parent = nullptr);
    ~TrayPanel() override;

    bool usesTray() const noexcept { return tray_ != nullptr; }
    QWidget* panel() const noexcept { return panel_; }

    /// Shows the panel: next to the tray icon, or as a window when there is no tray.
    void showPanel();
    void togglePanel();

    /// The panel's top-left corner for an icon at `icon` on a screen whose free area is
    /// `available`: below the icon when it sits in a top bar, above it otherwise, inside the area.
    static QPoint popupPosition(const QRect& icon, const QSize& panel, const QRect& available);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* panel_;
    QElapsedTimer sinceHidden_;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace inkwarden
