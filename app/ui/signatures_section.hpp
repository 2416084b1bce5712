#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace inkwarden {

class MenuRow;
class SignatureStore;

/// The panel's signatures section: how many signature files are held, with a row that deletes
/// them all, and the "Try It" row with the last try-out's result. Main thread only.
class SignaturesSection : public QWidget {
    Q_OBJECT

public:
    /// Runs a try-out and reports whether it worked.
    using TryOut = std::function<void(std::function<void(bool worked)> done)>;

    /// `store` must outlive the section. `closePanel` closes the open panel before a try-out.
    SignaturesSection(SignatureStore& store, TryOut tryOut, std::function<void()> closePanel,
                      QWidget* parent = nullptr);

    /// The try-out row's subtitle: the last try-out's result, none before one or after a failed one.
    std::optional<QString> tryResult() const { return tryResult_; }

    /// Starts a try-out as the "Try It" row does.
    void startTryOut();

private:
    void showCount();

    SignatureStore& store_;
    TryOut tryOut_;
    std::function<void()> closePanel_;
    std::optional<QString> tryResult_;
    MenuRow* deleteRow_;
    QLabel* noFiles_;
    MenuRow* tryRow_;
};

}  // namespace inkwarden
