#include "host/host_request_reader.hpp"

#include <array>
#include <charconv>

#include "platform/utf8.hpp"

namespace inkwarden {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

/// An optional sign and digits only, within the 64-bit range; anything else reads as 0.
long long contentLength(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return negative ? -value : value;
}

}  // namespace

HostRequestReader::HostRequestReader() : HostRequestReader(Limits{}) {}

HostRequestReader::Status HostRequestReader::feed(std::string_view bytes) {
    if (status_ != Status::needMore) return status_;
    buffer_.append(bytes);
    if (headerRead_) return status_ = checkBody();
    // Search only what is new, with room for a terminator split across reads.
    auto from = searchedUpTo_ >= kHeaderEnd.size() - 1 ? searchedUpTo_ - (kHeaderEnd.size() - 1) : 0;
    auto end = buffer_.find(kHeaderEnd, from);
    searchedUpTo_ = buffer_.size();
    if (end == std::string::npos) {
        if (buffer_.size() > limits_.maxUnterminatedHeaderBytes) return status_ = Status::refused;
        return status_;
    }
    return status_ = readHeader(end);
}

HostRequestReader::Status HostRequestReader::readHeader(std::size_t end) {
    std::string_view header(buffer_.data(), end);
    if (!platform::isValidUTF8(header)) return Status::refused;

    // Read in place, line by line: the request line's first two words, then each header line.
    const auto requestLineEnd = header.find("\r\n");
    const auto requestLine = header.substr(0, requestLineEnd);
    std::array<std::string_view, 2> words;
    std::size_t wordCount = 0;
    for (std::size_t start = 0; start < requestLine.size() && wordCount < words.size();) {
        auto space = requestLine.find(' ', start);
        if (space == std::string_view::npos) space = requestLine.size();
        if (space > start) words[wordCount++] = requestLine.substr(start, space - start);
        start = space + 1;
    }
    if (wordCount < words.size()) return Status::refused;
    request_.method = std::string(words[0]);
    request_.path = std::string(words[1]);

    for (auto start = requestLineEnd; start != std::string_view::npos;) {
        start += 2;
        const auto next = header.find("\r\n", start);
        const auto line = header.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start);
        start = next;
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        request_.headers.insert_or_assign(std::string(trimBlanks(line.substr(0, colon))),
                                          std::string(trimBlanks(line.substr(colon + 1))));
    }
    if (auto length = request_.headerView("content-length")) bodyLength_ = contentLength(*length);
    if (bodyLength_ > static_cast<long long>(limits_.maxBodyBytes)) return Status::refused;

    // The body is what follows the header block, kept in the same storage.
    buffer_.erase(0, end + kHeaderEnd.size());
    if (bodyLength_ > 0 && buffer_.size() < static_cast<std::size_t>(bodyLength_))
        buffer_.reserve(static_cast<std::size_t>(bodyLength_));
    headerRead_ = true;
    return checkBody();
}

HostRequestReader::Status HostRequestReader::checkBody() {
    if (bodyLength_ > 0 && buffer_.size() < static_cast<std::size_t>(bodyLength_)) return Status::needMore;
    if (!buffer_.empty()) request_.body = std::move(buffer_);
    buffer_ = std::string();
    return Status::complete;
}

}  // namespace inkwarden
