#include "host/host_response_text.hpp"

#include <algorithm>
#include <cctype>

namespace inkwarden {
namespace {

bool isContentLength(std::string_view name) {
    constexpr std::string_view kName = "content-length";
    return name.size() == kName.size() && std::equal(name.begin(), name.end(), kName.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

}  // namespace

std::string_view reasonPhrase(int status) noexcept {
    switch (status) {
        case 200: return "OK";
        case 202: return "Accepted";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 406: return "Not Acceptable";
        case 415: return "Unsupported Media Type";
        default: return status < 400 ? "OK" : "Error";
    }
}

std::string responseHead(const mcp::HTTPResponse& response, std::string_view launchID) {
    const auto bodySize = response.bodyData() ? response.bodyData()->size() : 0;
    std::string head;
    head.reserve(160);
    head += "HTTP/1.1 ";
    head += std::to_string(response.statusCode());
    head += ' ';
    head += reasonPhrase(response.statusCode());
    head += "\r\n";
    for (const auto& [name, value] : response.headers()) {
        if (isContentLength(name)) continue;
        head += name;
        head += ": ";
        head += value;
        head += "\r\n";
    }
    head += "X-Inkwarden-Launch: ";
    head += launchID;
    head += "\r\nContent-Length: ";
    head += std::to_string(bodySize);
    head += "\r\nConnection: close\r\n\r\n";
    return head;
}

}  // namespace inkwarden
