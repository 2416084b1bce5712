#include "shell/inkwarden_app.hpp"
#include "shell/process_entry.hpp"

int main(int argc, char** argv) {
    if (inkwarden::wantsStdioRelay(argc, argv)) return inkwarden::runStdioRelay();
    return inkwarden::runApplication(argc, argv);
}
