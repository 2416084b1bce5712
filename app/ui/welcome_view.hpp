#pragma once

#include <functional>

#include <QWidget>

class QLabel;
class QPushButton;
class QSpacerItem;
class QVBoxLayout;

namespace inkwarden {

class HostStatus;
class Spinner;

/// The onboarding content: a greeting, three steps (connect an AI client with the setup prompt,
/// try the signature window, set up the company signature), a live line on whether a client has
/// connected, a legal note and Done. It stores no settings. Main thread only.
class WelcomeView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 520;

    /// With `previewAsNew` the view shows the not-yet-connected state whatever the host says.
    /// `onDone` runs when Done is clicked or Return pressed.
    WelcomeView(bool previewAsNew, std::function<void()> onDone, const HostStatus& host, QWidget* parent = nullptr);

    /// Whether the setup prompt has been copied since the view was made.
    bool copied() const noexcept { return copied_; }
    /// A client has reached the host and the view is not a preview.
    bool isConnected() const;

    /// Puts the setup prompt on the clipboard, as the "Copy Prompt" button does.
    void copyPrompt();

Q_SIGNALS:
    /// "Try It" was clicked: the owner runs the signature try-out.
    void tryItRequested();

private:
    void refresh();
    QWidget* makeStep(const char* symbol, const QColor& color, const QString& title, const QString& detail,
                      QWidget* accessory);
    QWidget* makeStatusLine();
    QWidget* makeMenuBarLine();

    bool previewAsNew_;
    std::function<void()> onDone_;
    const HostStatus& host_;
    bool copied_ = false;

    QVBoxLayout* steps_ = nullptr;
    QSpacerItem* aboveStatus_ = nullptr;
    QSpacerItem* belowStatus_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QLabel* connectedMark_ = nullptr;
    QWidget* status_ = nullptr;
    Spinner* spinner_ = nullptr;
    QLabel* statusText_ = nullptr;
};

}  // namespace inkwarden
