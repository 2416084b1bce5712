#pragma once

#include <functional>

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;

namespace inkwarden {

/// The application's about panel: icon, name, version and build, then the credits given to
/// `setCredits`. Links in the credits go to `openUrl`. Kept and reused; main thread only.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(std::function<void(const QUrl&)> openUrl, QWidget* parent = nullptr);

    void setCredits(const QString& richText);
    QString credits() const;

private:
    QLabel* credits_;
};

}  // namespace inkwarden
