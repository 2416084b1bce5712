#include "host/tools.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "platform/base64.hpp"
#include "platform/build_info.hpp"
#include "platform/file_access.hpp"
#include "platform/json/write.hpp"
#include "platform/unicode_text.hpp"
#include "shell/app_settings.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"

namespace inkwarden {

namespace asio = boost::asio;
using mcp::Value;

namespace {

constexpr std::size_t kReasonCharacters = 300;

std::optional<std::size_t> indexOf(std::string_view name) {
    for (std::size_t i = 0; i < Tools::kNames.size(); ++i) {
        if (Tools::kNames[i] == name) return i;
    }
    return std::nullopt;
}

const Value* find(const Tools::Arguments& arguments, std::string_view key) {
    auto found = arguments.find(std::string(key));
    return found == arguments.end() ? nullptr : &found->second;
}

/// A number of either JSON kind as a double.
std::optional<double> number(const Value* value) {
    if (!value) return std::nullopt;
    if (auto i = value->intValue()) return static_cast<double>(*i);
    return value->doubleValue();
}

/// "~" and "~/..." in the home folder, "~name/..." in that user's; other paths as they are.
std::filesystem::path expandTilde(const std::string& path) {
    if (path.empty() || path.front() != '~') return path;
    auto slash = path.find('/');
    auto user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string home;
    if (user.empty()) {
        if (const char* value = std::getenv("HOME")) home = value;
        else if (const auto* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
    } else if (const auto* entry = ::getpwnam(user.c_str())) {
        home = entry->pw_dir;
    }
    if (home.empty()) return path;
    return home + (slash == std::string::npos ? "" : path.substr(slash));
}

}  // namespace

Tools::Tools(MainThread& mainThread, HostStatus& hostStatus, SignatureStore& signatures)
    : mainThread_(mainThread), hostStatus_(hostStatus), signatures_(signatures) {}

void Tools::setHandler(std::string_view name, Handler handler) {
    auto index = indexOf(name);
    if (!index) throw std::invalid_argument("No tool named " + std::string(name));
    handlers_[*index] = std::move(handler);
}

asio::awaitable<Tools::Contents> Tools::call(std::string name, Arguments arguments,
                                             std::optional<std::string> client) const {
    auto index = indexOf(name);
    if (!index) throw ToolError("Unknown tool " + name);
    if (const auto& handler = handlers_[*index]) co_return co_await handler(std::move(arguments), std::move(client));
    if (name == "get_company_profile") co_return co_await getCompanyProfile();
    if (name == "discard_signatures") co_return co_await discardSignatures();
    throw ToolError("The tool " + name + " needs a window that this version of Inkwarden can't show yet.");
}

std::string Tools::string(const Arguments& arguments, std::string_view key) {
    const auto* value = find(arguments, key);
    auto text = value ? value->stringValue() : std::nullopt;
    if (!text || text->empty()) throw ToolError("Missing " + std::string(key));
    return std::string(*text);
}

std::string Tools::reason(const Arguments& arguments) {
    return graphemePrefix(string(arguments, "reason"), kReasonCharacters);
}

bool Tools::flag(const Arguments& arguments, std::string_view key) {
    const auto* value = find(arguments, key);
    return value && value->boolValue() == true;
}

std::optional<std::int64_t> Tools::page(const Arguments& arguments) {
    const auto* value = find(arguments, "page");
    if (!value) return std::nullopt;
    if (auto i = value->intValue()) return *i;
    auto d = value->doubleValue();
    // 2^63 itself is out of range; every double below it truncates to a valid integer.
    if (!d || !std::isfinite(*d) || std::trunc(*d) >= 9223372036854775808.0 || std::trunc(*d) < -9223372036854775808.0)
        return std::nullopt;
    return static_cast<std::int64_t>(std::trunc(*d));
}

std::optional<std::string> Tools::anchorText(const Arguments& arguments) {
    const auto* value = find(arguments, "anchor_text");
    auto text = value ? value->stringValue() : std::nullopt;
    if (!text) return std::nullopt;
    return std::string(*text);
}

std::optional<Placement> Tools::box(const Value* value, double defaultWidth) {
    const auto* object = value ? value->objectValue() : nullptr;
    if (!object) return std::nullopt;
    auto member = [&](const char* key) -> const Value* {
        auto found = object->find(key);
        return found == object->end() ? nullptr : &found->second;
    };
    auto x = number(member("x"));
    auto y = number(member("y"));
    if (!x || !y) return std::nullopt;
    auto width = number(member("width")).value_or(defaultWidth);
    // NaN cannot arrive from JSON; the clamps are written so that one would still end in range.
    width = std::min(0.9, std::max(0.05, width));
    const double left = std::min(1.0 - width, std::max(0.0, *x));
    const double bottom = std::min(1.0, std::max(0.05, *y));
    return Placement{left, bottom, width};
}

SigningRequest Tools::signingRequest(const Arguments& arguments) {
    auto path = string(arguments, "document_path");
    auto file = expandTilde(path);
    std::string bytes;
    try {
        bytes = readRegularFile(file);
    } catch (const std::exception&) {
        throw ToolError("Inkwarden can't read " + path + ": it's sandboxed. Copy the document into " +
                        pathText(CompanyStamp::inbox()) + " and pass that path.");
    }
    CompanyStamp::removeFromInbox(file);
    SigningRequest request;
    request.name = file.filename().string();
    request.file = std::move(bytes);
    request.page = page(arguments);
    request.anchor = anchorText(arguments);
    request.signatureBox = box(find(arguments, "signature_box"), 0.3);
    request.stampBox = box(find(arguments, "stamp_box"), 0.22);
    return request;
}

asio::awaitable<boost::json::object> Tools::saved(SignedDocument document, std::string name) const {
    auto base = std::filesystem::path(name).stem().string();
    if (std::filesystem::path(name).extension().empty()) base = name;
    base += "-signed";
    auto& store = signatures_;
    auto pdf = std::move(document.pdf);
    auto save = mainThread_.call([&store, &pdf, &base] { return store.save(pdf, base, "pdf"); });
    auto file = co_await std::move(save);
    boost::json::object entry;
    entry["signed_pdf_path"] = pathText(file);
    entry["page"] = document.page;
    entry["company_text_added"] = document.includedCompanyText;
    entry["stamp_added"] = document.includedStamp;
    co_return entry;
}

std::string Tools::version() {
    auto orUnknown = [](std::string_view text) { return text.empty() ? std::string("?") : std::string(text); };
    return orUnknown(bundleVersion()) + " (" + orUnknown(bundleBuild()) + ")";
}

mcp::Tool::Content Tools::resultText(const boost::json::object& result) {
    std::string text;
    try {
        text = platform::json::write(boost::json::value(result), {.sortedKeys = true, .escapeSlashes = false});
    } catch (...) {
        text = "{}";
    }
    return mcp::Tool::Content::text(std::move(text));
}

mcp::Tool::Content Tools::image(std::string_view png) {
    return mcp::Tool::Content::image(platform::base64Encode(png), "image/png");
}

std::filesystem::path Tools::expandedPath(const std::string& path) {
    return expandTilde(path);
}

std::string Tools::pathText(const std::filesystem::path& path) {
    return path.string();
}

asio::awaitable<Tools::Contents> Tools::getCompanyProfile() const {
    boost::json::object profile;
    profile["version"] = version();
    profile["company_text"] = AppSettings::companyText();
    bool hasStamp = false;
    try {
        readRegularFile(CompanyStamp::url());
        hasStamp = true;
    } catch (...) {
    }
    profile["has_stamp"] = hasStamp;
    profile["inbox"] = pathText(CompanyStamp::inbox());
    co_return Contents{resultText(profile)};
}

asio::awaitable<Tools::Contents> Tools::discardSignatures() const {
    auto& store = signatures_;
    auto discard = mainThread_.call([&store] {
        auto count = SignatureStore::removeAll();
        store.refresh();
        return count;
    });
    auto deleted = co_await std::move(discard);
    boost::json::object result;
    result["deleted"] = deleted;
    co_return Contents{resultText(result)};
}

}  // namespace inkwarden
