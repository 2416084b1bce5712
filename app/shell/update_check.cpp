#include "shell/update_check.hpp"

#include <algorithm>
#include <charconv>

#include <QPointer>
#include <QtDebug>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/url/parse.hpp>

#include "platform/http/client.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/decoding_error.hpp"
#include "platform/json/parse.hpp"
#include "platform/main_thread.hpp"
#include "shell/app_settings.hpp"
#include "shell/product.hpp"

namespace inkwarden {
namespace {

// The feed is a few dozen bytes; anything near this is not the feed.
constexpr std::size_t kMaxFeedBytes = 64 * 1024;

boost::asio::awaitable<std::string> fetchFeed(platform::http::Request request, std::chrono::steady_clock::duration limit) {
    request.deadline = std::chrono::steady_clock::now() + limit;
    auto executor = co_await boost::asio::this_coro::executor;
    platform::http::Client client(executor);
    auto reply = co_await client.fetch(std::move(request), kMaxFeedBytes);
    // Error pages are read like any other body: only what decodes counts.
    co_return std::move(reply.body);
}

}  // namespace

UpdateCheck::Latest UpdateCheck::Latest::fromJSON(const boost::json::value& value) {
    const auto& object = platform::json::asObject(value);
    Latest latest;
    latest.version = platform::json::required<std::string>(object, "version");
    latest.build = platform::json::required<std::int64_t>(object, "build");
    latest.page = platform::json::required<std::string>(object, "page");
    if (latest.page.empty() || !boost::urls::parse_uri_reference(latest.page)) {
        throw platform::json::DecodingError(platform::json::DecodingError::Kind::dataCorrupted, "Invalid URL string.",
                                            {"page"});
    }
    return latest;
}

boost::urls::url UpdateCheck::defaultFeed() {
    boost::urls::url feed(product::kWebsite);
    feed.set_path("/version.json");
    return feed;
}

UpdateCheck::UpdateCheck(boost::asio::any_io_executor network, MainThread& mainThread, Options options, QObject* parent)
    : QObject(parent), network_(std::move(network)), mainThread_(mainThread), options_(std::move(options)) {}

UpdateCheck::UpdateCheck(boost::asio::any_io_executor network, MainThread& mainThread, QObject* parent)
    : UpdateCheck(std::move(network), mainThread, Options{}, parent) {}

void UpdateCheck::check() {
    if (state_.kind == State::Kind::checking) return;
    setState({State::Kind::checking});

    platform::http::Request request;
    request.url = options_.feed;
    request.headers.set("Cache-Control", "no-cache");
    request.timeout = options_.limit;
    boost::asio::co_spawn(network_, fetchFeed(std::move(request), options_.limit),
                          [&main = mainThread_, self = QPointer<UpdateCheck>(this)](std::exception_ptr error,
                                                                                  std::string body) {
                              std::optional<std::string> fetched;
                              if (!error) fetched = std::move(body);
                              main.post([self, fetched = std::move(fetched)] {
                                  if (self) self->finish(fetched);
                              });
                          });
}

void UpdateCheck::finish(const std::optional<std::string>& body) {
    if (!body) {
        setState({State::Kind::failed});
        return;
    }
    Latest latest;
    try {
        latest = Latest::fromJSON(platform::json::parse(*body));
    } catch (const std::exception&) {
        setState({State::Kind::failed});
        return;
    }
    try {
        AppSettings::setLastUpdateCheck(options_.now());
    } catch (const std::exception& error) {
        // The outcome still stands; the next start merely checks again.
        qWarning("Could not store the time of the update check: %s", error.what());
    }
    if (buildNumber(options_.runningBuild) < latest.build) {
        setState(State::available(std::move(latest.version), std::move(latest.page)));
    } else {
        setState({State::Kind::current});
    }
}

void UpdateCheck::setState(State state) {
    if (state == state_) return;
    state_ = std::move(state);
    Q_EMIT stateChanged();
}

std::int64_t buildNumber(std::string_view text) noexcept {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
    // from_chars takes a minus but no plus.
    const std::string_view number = text.front() == '+' ? digits : text;
    std::int64_t value = 0;
    const auto* end = number.data() + number.size();
    auto [stop, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || stop != end) return 0;
    return value;
}

}  // namespace inkwarden
