#pragma once

#include <QApplication>

namespace testing_support {

/// The one QApplication that widget tests need, made on first use and kept for the whole run
/// (Qt cannot make a second one after the first is gone).
inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "inkwarden_tests";
    static char* argv[] = {name, nullptr};
    static auto* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace testing_support
