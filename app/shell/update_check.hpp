#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QObject>
#include <boost/asio/any_io_executor.hpp>
#include <boost/json/value.hpp>
#include <boost/url/url.hpp>

#include "platform/build_info.hpp"
#include "shell/startup.hpp"

namespace inkwarden {

class MainThread;

/// Tells whether a newer build than the running one is published, by reading the product web
/// site's feed. Confined to the main thread; the feed is fetched on the network executor, so
/// nothing waits for it. `stateChanged` is emitted only when the state really changes.
class UpdateCheck final : public QObject {
    Q_OBJECT

public:
    struct State {
        enum class Kind { idle, checking, current, failed, available };

        // Implicit: a kind alone is a whole state.
        State(Kind kind = Kind::idle) : kind(kind) {}

        static State available(std::string version, std::string page) {
            State state(Kind::available);
            state.version = std::move(version);
            state.page = std::move(page);
            return state;
        }

        Kind kind;
        /// The newer build's display version and download page; set only when `available`.
        std::string version;
        std::string page;

        bool operator==(const State&) const = default;
    };

    /// The feed document: "version" (string), "build" (integer) and "page" (a URL text) are
    /// required; other members are ignored. Throws DecodingError.
    struct Latest {
        std::string version;
        std::int64_t build = 0;
        std::string page;

        static Latest fromJSON(const boost::json::value& value);
    };

    /// "version.json" at the root of the product web site.
    static boost::urls::url defaultFeed();

    struct Options {
        boost::urls::url feed = defaultFeed();
        /// Most time for the whole fetch.
        std::chrono::steady_clock::duration limit = std::chrono::seconds(15);
        /// The running build number as the bundle gives it (parsed with buildNumber).
        std::string runningBuild{bundleBuild()};
        /// Seconds since 1970-01-01 00:00 UTC.
        std::function<double()> now = secondsSince1970;
    };

    /// Fetches on `network`; the outcome comes back through `mainThread`, which must outlive
    /// every fetch still running there.
    UpdateCheck(boost::asio::any_io_executor network, MainThread& mainThread, Options options,
                QObject* parent = nullptr);
    /// With the product site's feed, the compiled-in build and the system clock.
    UpdateCheck(boost::asio::any_io_executor network, MainThread& mainThread, QObject* parent = nullptr);

    const State& state() const noexcept { return state_; }

    /// Starts a check unless one is running, and returns at once. A check that reads the feed
    /// stores the time under "lastUpdateCheck"; one that cannot fetch or read it ends `failed`
    /// and stores nothing, so the next start tries again.
    void check();

Q_SIGNALS:
    void stateChanged();

private:
    void finish(const std::optional<std::string>& body);
    void setState(State state);

    boost::asio::any_io_executor network_;
    MainThread& mainThread_;
    Options options_;
    State state_;
};

/// A build number text read as a decimal integer with an optional leading sign; anything else
/// (empty, a fraction, trailing text, out of range) reads as 0.
std::int64_t buildNumber(std::string_view text) noexcept;

}  // namespace inkwarden
