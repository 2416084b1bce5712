#include "shell/app_settings.hpp"

#include <openssl/rand.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/app_folders.hpp"
#include "platform/unicode_text.hpp"
#include "shell/company_text.hpp"

namespace inkwarden {
namespace {

constexpr const char* kPort = "port";
constexpr const char* kToken = "token";
constexpr const char* kCompanyText = "companyText";
constexpr const char* kHasConnectedClient = "hasConnectedClient";
constexpr const char* kHasSeenWelcome = "hasSeenWelcome";
constexpr const char* kLastUpdateCheck = "lastUpdateCheck";

struct Observers {
    std::mutex mutex;
    std::vector<AppSettings::Observer> list;
};

Observers& observers() {
    static auto* instance = new Observers;  // lives until exit, for writes made during it
    return *instance;
}

void notify(std::string_view key) {
    std::vector<AppSettings::Observer> list;
    {
        std::lock_guard lock(observers().mutex);
        list = observers().list;
    }
    for (const auto& observer : list) observer(key);
}

void store(const char* key, boost::json::value value) {
    AppSettings::file().update([&](boost::json::object& object) { object[key] = std::move(value); });
    notify(key);
}

const boost::json::value* find(const boost::json::object& object, const char* key) {
    return object.if_contains(key);
}

/// The integer a value reads as, the way the platform's defaults convert one: whole numbers,
/// doubles truncated, texts holding an integer; anything else 0.
std::int64_t integerOf(const boost::json::value* value) {
    if (!value) return 0;
    if (auto* i = value->if_int64()) return *i;
    if (auto* u = value->if_uint64()) return *u > static_cast<std::uint64_t>(INT64_MAX) ? 0 : static_cast<std::int64_t>(*u);
    if (auto* d = value->if_double()) {
        return std::isfinite(*d) && std::fabs(*d) < 9.2e18 ? static_cast<std::int64_t>(*d) : 0;
    }
    if (auto* b = value->if_bool()) return *b ? 1 : 0;
    if (auto* s = value->if_string()) {
        std::string_view text(*s);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        std::int64_t result = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
        return error == std::errc() ? result : 0;
    }
    return 0;
}

bool boolOf(const boost::json::value* value) {
    if (!value) return false;
    if (auto* b = value->if_bool()) return *b;
    return integerOf(value) != 0;
}

}  // namespace

SettingsFile AppSettings::file() {
    return SettingsFile(AppFolders::config() / "settings.json");
}

std::int64_t AppSettings::port() {
    auto object = file().read();
    auto port = integerOf(find(object, kPort));
    return port == 0 ? kDefaultPort : port;
}

std::string AppSettings::endpoint() {
    return "http://127.0.0.1:" + std::to_string(port()) + "/mcp";
}

std::string AppSettings::token() {
    {
        auto object = file().read();
        if (auto* value = find(object, kToken); value && value->is_string()) return std::string(value->get_string());
    }
    std::string token;
    bool created = false;
    try {
        file().update([&](boost::json::object& object) {
            // Another reader may have made it while we waited for the lock.
            if (auto* value = object.if_contains(kToken); value && value->is_string()) {
                token = value->get_string();
                return;
            }
            token = randomToken();
            object[kToken] = token;
            created = true;
        });
    } catch (const std::system_error&) {
        return randomToken();
    }
    if (created) notify(kToken);
    return token;
}

void AppSettings::setToken(const std::string& token) {
    store(kToken, boost::json::string(token));
}

std::string AppSettings::randomToken() {
    unsigned char bytes[24];
    if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("The system's random generator failed");
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * sizeof bytes);
    for (auto byte : bytes) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 0xF];
    }
    return token;
}

std::string AppSettings::companyText() {
    auto object = file().read();
    std::string stored;
    if (auto* value = find(object, kCompanyText); value && value->is_string()) stored = value->get_string();
    auto trimmed = trimWhitespaceAndNewlines(stored);
    auto lines = companyTextLines(trimmed);
    std::string joined;
    for (std::size_t i = 0; i < std::min(lines.size(), kCompanyTextMaxLines); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    return graphemePrefix(joined, kCompanyTextMaxCharacters);
}

void AppSettings::setCompanyText(const std::string& text) {
    store(kCompanyText, boost::json::string(text));
}

bool AppSettings::hasConnectedClient() {
    return boolOf(find(file().read(), kHasConnectedClient));
}

void AppSettings::setHasConnectedClient(bool value) {
    store(kHasConnectedClient, value);
}

bool AppSettings::hasSeenWelcome() {
    return boolOf(find(file().read(), kHasSeenWelcome));
}

void AppSettings::setHasSeenWelcome(bool value) {
    store(kHasSeenWelcome, value);
}

double AppSettings::lastUpdateCheck() {
    auto object = file().read();
    auto* value = find(object, kLastUpdateCheck);
    if (!value) return 0;
    if (auto* d = value->if_double()) return std::isfinite(*d) ? *d : 0;
    if (value->is_int64() || value->is_uint64()) return value->to_number<double>();
    return 0;
}

void AppSettings::setLastUpdateCheck(double secondsSince1970) {
    store(kLastUpdateCheck, secondsSince1970);
}

void AppSettings::observe(Observer observer) {
    std::lock_guard lock(observers().mutex);
    observers().list.push_back(std::move(observer));
}

}  // namespace inkwarden
