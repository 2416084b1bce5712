#include "eventsource/parser.hpp"

#include "platform/utf8.hpp"

#include <limits>
#include <utility>

namespace eventsource {

namespace {

constexpr std::uint8_t kCR = 0x0D;
constexpr std::uint8_t kLF = 0x0A;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// An optional sign, then one or more digits and nothing else, within the signed 64-bit range.
std::optional<std::int64_t> readRetry(std::string_view text) {
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulated negatively so that the smallest value reads too.
    std::int64_t value = 0;
    constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        if (value < (lowest + digit) / 10) return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest) return std::nullopt;
        value = -value;
    }
    return value;
}

}  // namespace

Parser::Parser(Options options) : options_(options), reconnectionTime_(options.reconnectionTime) {}

void Parser::consume(std::uint8_t byte) {
    if (byte == kCR) {
        handleLine(takeLine());
        sawCR_ = true;
    } else if (byte == kLF) {
        if (sawCR_) {
            sawCR_ = false;
        } else {
            handleLine(takeLine());
        }
    } else {
        sawCR_ = false;
        if (lineBuffer_.size() >= options_.maxLineBytes) {
            throw EventStreamLimitError("Event stream line longer than " + std::to_string(options_.maxLineBytes) +
                                        " bytes");
        }
        lineBuffer_.push_back(static_cast<char>(byte));
    }
}

std::optional<Event> Parser::getNextEvent() {
    if (eventQueue_.empty()) return std::nullopt;
    std::optional<Event> event(std::move(eventQueue_.front()));
    eventQueue_.pop_front();
    return event;
}

void Parser::finish() {
    if (sawCR_) {
        handleLine(takeLine());
        sawCR_ = false;
    }
    if (!lineBuffer_.empty()) handleLine(takeLine());
    if (hasFieldsToDispatch()) handleLine("");
}

void Parser::resetStream() {
    currentEventId_.reset();
    currentEventType_.reset();
    currentData_.clear();
    currentRetry_.reset();
    lineBuffer_.clear();
    sawCR_ = false;
    eventQueue_.clear();
    sawDataField_ = false;
}

std::string Parser::takeLine() {
    std::string_view bytes = lineBuffer_;
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    std::string line = platform::repairUTF8(bytes);
    lineBuffer_.clear();  // keeps its capacity for the next line
    return line;
}

void Parser::handleLine(std::string_view line) {
    if (line.empty()) {
        dispatchEvent();
        sawDataField_ = false;
        return;
    }
    if (line.front() == ':') return;

    std::string_view name = line;
    std::string_view value;
    if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        name = line.substr(0, colon);
        value = line.substr(colon + 1);
        if (value.starts_with(' ')) value.remove_prefix(1);
    }

    if (name == "event") {
        currentEventType_ = std::string(value);
    } else if (name == "data") {
        sawDataField_ = true;
        const std::size_t added = value.size() + (currentData_.empty() ? 0 : 1);
        if (currentData_.size() + added > options_.maxEventDataBytes) {
            throw EventStreamLimitError("Event data longer than " + std::to_string(options_.maxEventDataBytes) +
                                        " bytes");
        }
        if (!currentData_.empty()) currentData_.push_back('\n');
        currentData_.append(value);
    } else if (name == "id") {
        if (value.find('\0') != std::string_view::npos) return;
        currentEventId_ = std::string(value);
        lastEventId_ = std::string(value);
    } else if (name == "retry") {
        const auto retry = readRetry(value);
        if (retry && *retry > 0) {
            reconnectionTime_ = *retry;
            currentRetry_ = *retry;
        }
    }
}

void Parser::dispatchEvent() {
    if (hasFieldsToDispatch() || sawDataField_) {
        if (eventQueue_.size() >= options_.maxQueuedEvents) {
            throw EventStreamLimitError("More than " + std::to_string(options_.maxQueuedEvents) +
                                        " events waiting to be read");
        }
        eventQueue_.push_back(Event{std::move(currentEventId_), std::move(currentEventType_), std::move(currentData_),
                                    currentRetry_});
    }
    currentEventId_.reset();
    currentEventType_.reset();
    currentData_.clear();
    currentRetry_.reset();
}

bool Parser::hasFieldsToDispatch() const noexcept {
    return !currentData_.empty() || currentEventId_ || currentEventType_;
}

}  // namespace eventsource
