#include "host/stdio_bridge.hpp"

#include <signal.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cerrno>
#include <exception>
#include <thread>
#include <utility>

#include <boost/json/object.hpp>
#include <boost/url/url.hpp>

#include "platform/application_launch.hpp"
#include "platform/describe.hpp"
#include "platform/http/fetch_blocking.hpp"
#include "platform/json/parse.hpp"
#include "platform/json/write.hpp"
#include "shell/app_settings.hpp"

namespace inkwarden {
namespace {

namespace http = platform::http;

constexpr std::string_view kRestartNotice = "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/tools/list_changed\"}\n";
constexpr std::string_view kUnreachable = "Inkwarden isn't reachable: ";
constexpr std::int64_t kUnreachableCode = -32000;
constexpr std::size_t kReadSize = 65536;

/// Lines of a descriptor, without their "\n" or "\r\n"; a last line without an ending counts.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    std::optional<std::string> next() {
        for (;;) {
            auto end = buffer_.find('\n', start_);
            if (end != std::string::npos) return take(end, end + 1);
            if (ended_) {
                if (start_ == buffer_.size()) return std::nullopt;
                return take(buffer_.size(), buffer_.size());
            }
            fill();
        }
    }

private:
    std::string take(std::size_t end, std::size_t next) {
        auto length = end - start_;
        if (length > 0 && buffer_[end - 1] == '\r') --length;
        std::string line = buffer_.substr(start_, length);
        start_ = next;
        return line;
    }

    void fill() {
        buffer_.erase(0, start_);
        start_ = 0;
        auto held = buffer_.size();
        buffer_.resize(held + kReadSize);
        ssize_t got;
        do {
            got = ::read(fd_, buffer_.data() + held, kReadSize);
        } while (got < 0 && errno == EINTR);
        buffer_.resize(held + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got <= 0) ended_ = true;
    }

    int fd_;
    std::string buffer_;
    std::size_t start_ = 0;
    bool ended_ = false;
};

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::optional<boost::json::object> objectOf(std::string_view text) {
    try {
        auto value = platform::json::parse(text);
        if (auto* object = value.if_object()) return std::move(*object);
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

const boost::json::object* memberObject(const boost::json::object& object, std::string_view key) {
    auto found = object.find(key);
    return found == object.end() ? nullptr : found->value().if_object();
}

std::optional<std::string> memberString(const boost::json::object& object, std::string_view key) {
    auto found = object.find(key);
    if (found == object.end() || !found->value().is_string()) return std::nullopt;
    return std::string(found->value().get_string());
}

bool isLetterMarkOrNumber(UChar32 c) {
    return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

void appendEscaped(std::string& out, std::string_view bytes) {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (unsigned char byte : bytes) {
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
}

http::Request postTo(const std::string& endpoint, std::chrono::milliseconds timeout) {
    http::Request request;
    request.method = "POST";
    request.url = boost::urls::url(endpoint);
    request.timeout = timeout;
    request.followRedirects = false;
    return request;
}

http::BufferedResponse fetch(http::Request request, std::chrono::milliseconds limit) {
    http::BlockingOptions options;
    options.limit = limit;
    return http::fetchBlocking(std::move(request), options);
}

}  // namespace

StdioBridge::StdioBridge() : StdioBridge(Options{}) {}

StdioBridge::StdioBridge(Options options) : options_(std::move(options)) {
    if (!options_.endpoint) options_.endpoint = &AppSettings::endpoint;
    if (!options_.token) options_.token = &AppSettings::token;
    if (!options_.pause) options_.pause = [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); };
}

void StdioBridge::run() {
    // A client that closed our output must not kill us mid-line; the application we start is
    // reaped by the system.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGCHLD, SIG_IGN);
    watchParent();
    relay();
    // _exit: the parent check may end the process at any moment too, so neither runs exit handlers.
    ::_exit(0);
}

void StdioBridge::watchParent() const {
    // Compared with the parent at start rather than with 1: a subreaper may adopt the orphan.
    std::thread([parent = ::getppid(), interval = options_.parentCheckInterval] {
        for (;;) {
            std::this_thread::sleep_for(interval);
            if (::getppid() != parent) ::_exit(0);
        }
    }).detach();
}

void StdioBridge::relay() {
    LineReader reader(options_.input);
    while (auto line = reader.next()) {
        if (isBlank(*line)) continue;
        auto id = requestID(*line);
        if (auto name = clientName(*line)) clientName_ = std::move(name);

        Reply reply;
        try {
            reply = post(*line);
        } catch (...) {
            if (id) emitError(*id, std::string(kUnreachable) + platform::describe(std::current_exception()));
            continue;
        }

        bool restarted = knownLaunch_ && reply.launch && *knownLaunch_ != *reply.launch;
        if (reply.launch) knownLaunch_ = reply.launch;
        if (reply.status != 202 && !reply.body.empty()) {
            if (auto version = negotiatedVersion(reply.body)) protocolVersion_ = std::move(version);
            emit(reply.body);
        }
        if (restarted) write(kRestartNotice);
    }
}

StdioBridge::Reply StdioBridge::post(const std::string& line) {
    try {
        return send(line);
    } catch (const http::HttpError& error) {
        if (error.kind != http::HttpError::Kind::cannotConnectToHost) throw;
    }
    launchApp();
    return send(line);
}

StdioBridge::Reply StdioBridge::send(const std::string& line) {
    auto request = postTo(options_.endpoint(), options_.requestTimeout);
    request.headers.set("Content-Type", "application/json");
    request.headers.set("Accept", "application/json, text/event-stream");
    request.headers.set("Authorization", "Bearer " + options_.token());
    if (protocolVersion_) request.headers.set("MCP-Protocol-Version", *protocolVersion_);
    if (clientName_) request.headers.set("X-Inkwarden-Client", percentEncodedName(*clientName_));
    request.body = line;

    auto response = fetch(std::move(request), options_.requestTimeout);
    return Reply{response.status, std::move(response.body), response.headers.get("X-Inkwarden-Launch")};
}

void StdioBridge::launchApp() {
    launchDetached(options_.executable);
    for (int probe = 0; probe < options_.probes; ++probe) {
        options_.pause(options_.probeInterval);
        try {
            fetch(postTo(options_.endpoint(), options_.probeTimeout), options_.probeTimeout);
            return;
        } catch (const std::exception&) {
            // Not up yet; the next probe tells.
        }
    }
    throw http::HttpError(http::HttpError::Kind::cannotConnectToHost,
                          "Cannot connect (the application did not answer after it was started)");
}

std::optional<boost::json::value> StdioBridge::requestID(std::string_view line) {
    auto object = objectOf(line);
    if (!object) return std::nullopt;
    auto found = object->find("id");
    if (found == object->end()) return std::nullopt;
    return found->value();
}

std::optional<std::string> StdioBridge::clientName(std::string_view line) {
    auto object = objectOf(line);
    if (!object || memberString(*object, "method") != "initialize") return std::nullopt;
    auto* params = memberObject(*object, "params");
    auto* info = params ? memberObject(*params, "clientInfo") : nullptr;
    if (!info) return std::nullopt;
    if (auto title = memberString(*info, "title")) return title;
    return memberString(*info, "name");
}

std::optional<std::string> StdioBridge::negotiatedVersion(std::string_view body) {
    auto object = objectOf(body);
    auto* result = object ? memberObject(*object, "result") : nullptr;
    if (!result) return std::nullopt;
    return memberString(*result, "protocolVersion");
}

std::string StdioBridge::percentEncodedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    int32_t offset = 0;
    while (offset < length) {
        int32_t start = offset;
        UChar32 c;
        U8_NEXT(bytes, offset, length, c);
        auto character = name.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(offset - start));
        if (c >= 0 && isLetterMarkOrNumber(c)) out += character;
        else appendEscaped(out, character);
    }
    return out;
}

std::string StdioBridge::singleLine(std::string body) {
    if (body.find('\n') == std::string::npos) return body;
    try {
        platform::json::parse(body);
    } catch (const std::exception&) {
        return body;
    }
    // Valid JSON holds white space only between tokens and escapes every control character in
    // strings, so dropping the blanks outside strings joins the lines and changes nothing else.
    std::string out;
    out.reserve(body.size());
    bool inString = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (!inString) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            if (c == '"') inString = true;
            out += c;
        } else if (c == '\\') {
            char escaped = body[++i];
            if (escaped != '/') out += c;
            out += escaped;
        } else {
            if (c == '"') inString = false;
            out += c;
        }
    }
    return out;
}

void StdioBridge::emit(std::string_view body) {
    auto line = singleLine(std::string(body));
    line += '\n';
    write(line);
}

void StdioBridge::emitError(const boost::json::value& id, const std::string& message) {
    boost::json::object error;
    error["code"] = kUnreachableCode;
    error["message"] = message;
    boost::json::object reply;
    reply["jsonrpc"] = "2.0";
    reply["id"] = id;
    reply["error"] = std::move(error);
    std::string text;
    try {
        text = platform::json::write(reply);
    } catch (const std::exception&) {
        return;
    }
    emit(text);
}

void StdioBridge::write(std::string_view bytes) const {
    // One write for the whole line where the pipe takes it; a reader never sees a line cut by
    // another writer.
    while (!bytes.empty()) {
        auto written = ::write(options_.output, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // the client closed its end: nobody is left to tell
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace inkwarden
