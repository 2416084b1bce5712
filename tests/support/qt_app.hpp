#pragma once

#include <QApplication>

namespace testing_support {

/// The process's QApplication, made on first use (tests run with QT_QPA_PLATFORM=offscreen).
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "inkwarden-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? static_cast<QApplication*>(QApplication::instance())
                                                        : new QApplication(argc, argv);
    return *app;
}

}  // namespace testing_support
