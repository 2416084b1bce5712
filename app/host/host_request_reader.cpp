#include "host/host_request_reader.hpp"

#include <charconv>
#include <vector>

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

    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        auto next = header.find("\r\n", start);
        lines.push_back(header.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start));
        if (next == std::string_view::npos) break;
        start = next + 2;
    }

    std::vector<std::string_view> words;
    for (std::size_t start = 0; start < lines[0].size();) {
        auto space = lines[0].find(' ', start);
        if (space == std::string_view::npos) space = lines[0].size();
        if (space > start) words.push_back(lines[0].substr(start, space - start));
        start = space + 1;
    }
    if (words.size() < 2) return Status::refused;
    request_.method = std::string(words[0]);
    request_.path = std::string(words[1]);

    for (std::size_t i = 1; i < lines.size(); ++i) {
        auto colon = lines[i].find(':');
        if (colon == std::string_view::npos) continue;
        request_.headers.insert_or_assign(std::string(trimBlanks(lines[i].substr(0, colon))),
                                          std::string(trimBlanks(lines[i].substr(colon + 1))));
    }
    if (auto length = request_.header("content-length")) bodyLength_ = contentLength(*length);
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
