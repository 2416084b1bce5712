#include "shell/support_mail.hpp"

#include <array>
#include <fstream>
#include <iterator>

#include <QLocale>
#include <QSysInfo>
#include <boost/url/parse.hpp>

#include "host/host_status.hpp"
#include "platform/build_info.hpp"
#include "shell/app_settings.hpp"
#include "shell/product.hpp"
#include "signature/company_stamp.hpp"

namespace inkwarden {
namespace {

std::string setOrNot(bool set) { return set ? "set" : "not set"; }

bool readable(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return false;
    return std::ifstream(file, std::ios::binary).good();
}

std::string firstLanguage() {
    const auto languages = QLocale::system().uiLanguages();
    return languages.isEmpty() ? std::string() : languages.first().toStdString();
}

}  // namespace

SupportDiagnostics SupportDiagnostics::gather(const HostStatus& status) {
    SupportDiagnostics facts;
    facts.version = std::string(bundleVersion());
    facts.build = std::string(bundleBuild());
    facts.system = QSysInfo::prettyProductName().toStdString();
    facts.model = hardwareModel();
    facts.running = status.running();
    facts.problem = status.problem();
    facts.port = AppSettings::port();
    facts.lastClient = status.lastClient();
    facts.companyTextSet = !AppSettings::companyText().empty();
    facts.stampSet = readable(CompanyStamp::url());
    if (auto language = firstLanguage(); !language.empty()) facts.language = std::move(language);
    return facts;
}

std::string SupportMail::versionText(const SupportDiagnostics& facts) {
    return facts.version.value_or("?") + " (" + facts.build.value_or("?") + ")";
}

std::string SupportMail::subject(const SupportDiagnostics& facts) { return "Inkwarden " + versionText(facts); }

std::string SupportMail::body(const SupportDiagnostics& facts) {
    std::string server = "Server: ";
    if (facts.running) {
        server += "running on port " + std::to_string(facts.port);
    } else {
        server += "not running";
        if (facts.problem) server += " (" + *facts.problem + ")";
    }
    const std::array<std::string, 6> lines{
        "Inkwarden " + versionText(facts),
        "Linux " + facts.system + ", " + facts.model,
        server,
        "Last AI app: " + facts.lastClient.value_or("none since launch"),
        "Company text: " + setOrNot(facts.companyTextSet) + " \u00b7 Company stamp: " + setOrNot(facts.stampSet),
        "Language: " + facts.language.value_or("?"),
    };
    std::string body = "\n\n\n\u2014\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) body += '\n';
        body += lines[i];
    }
    return body;
}

std::string SupportMail::link(std::string_view address, std::string_view subject, std::string_view body) {
    std::string link = "mailto:" + std::string(address);
    const std::string plain = link;
    link += "?subject=" + percentEncoded(subject) + "&body=" + percentEncoded(body);
    if (!boost::urls::parse_uri(link)) return plain;
    return link;
}

std::string SupportMail::url(const SupportDiagnostics& facts) {
    return link(product::kSupportAddress, subject(facts), body(facts));
}

std::string SupportMail::website() { return std::string(product::kWebsite); }

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string hardwareModel(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    text = text.substr(0, text.find_first_of(std::string_view("\0\n", 2)));
    return text.empty() ? "?" : text;
}

}  // namespace inkwarden
