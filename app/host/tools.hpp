#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/asio/awaitable.hpp>
#include <boost/json/object.hpp>

#include "host/host_status.hpp"
#include "mcp/base/value.hpp"
#include "mcp/server/tool.hpp"
#include "platform/main_thread.hpp"
#include "signature/signature_store.hpp"
#include "signature/signing_request.hpp"

namespace inkwarden {

/// The application's nine tools: the catalog every tools/list answers with, the dispatcher of
/// tools/call, and the argument readers and result writer the tools share.
///
/// `call` runs in the task of the request on the runtime thread; a tool reaches windows, the
/// gate, settings and the signature files through `mainThread()`. The tools that need a window
/// are plugged in with `setHandler`; until then they answer with a tool error saying so.
class Tools {
public:
    using Arguments = std::map<std::string, mcp::Value>;
    using Contents = std::vector<mcp::Tool::Content>;
    /// Runs one tool. `client` is the AI client's display name for this request, when it gave one.
    /// Throws ToolError with the text meant for the client; other errors pass as they are.
    using Handler = std::function<boost::asio::awaitable<Contents>(Arguments arguments, std::optional<std::string> client)>;

    /// The tool names in catalog order.
    static constexpr std::array<std::string_view, 9> kNames = {
        "sign_document",     "sign_documents",    "request_signature",    "request_stamp",     "get_company_profile",
        "set_company_text",  "set_company_stamp", "remove_company_stamp", "discard_signatures",
    };

    /// `mainThread`, `hostStatus` and `signatures` must outlive the tools; the last two are
    /// touched on the main thread only.
    Tools(MainThread& mainThread, HostStatus& hostStatus, SignatureStore& signatures);

    /// The nine tools in catalog order, built once (with the inbox path of that moment).
    static const std::vector<mcp::Tool>& all();

    /// The schema of a page box, shared by every box property.
    static const mcp::Value& boxProp();

    /// Runs the tool named exactly `name`. Throws ToolError "Unknown tool <name>" for a name
    /// outside the catalog, and what the tool throws.
    boost::asio::awaitable<Contents> call(std::string name, Arguments arguments, std::optional<std::string> client) const;

    /// Installs the handler of one catalog tool, replacing the earlier one. Throws
    /// std::invalid_argument for a name outside the catalog. Call before serving requests.
    void setHandler(std::string_view name, Handler handler);

    MainThread& mainThread() const noexcept { return mainThread_; }
    HostStatus& hostStatus() const noexcept { return hostStatus_; }
    SignatureStore& signatures() const noexcept { return signatures_; }

    // Argument readers. A value of the wrong JSON type counts as absent; only `string` fails.

    /// The non-empty string under `key`; otherwise throws ToolError "Missing <key>".
    static std::string string(const Arguments& arguments, std::string_view key);
    /// "reason" read with `string`, cut to its first 300 user-perceived characters.
    static std::string reason(const Arguments& arguments);
    /// True only for the JSON value true.
    static bool flag(const Arguments& arguments, std::string_view key);
    /// "page": an integer as it is, a fractional number truncated toward zero (none outside the
    /// 64-bit range), anything else none.
    static std::optional<std::int64_t> page(const Arguments& arguments);
    /// "anchor_text": any string, the empty one included.
    static std::optional<std::string> anchorText(const Arguments& arguments);
    /// A page box: an object with numeric "x" and "y" ("width" defaults to `defaultWidth`),
    /// clamped to width 0.05...0.9, x 0...1-width, y 0.05...1. None for anything else.
    static std::optional<Placement> box(const mcp::Value* value, double defaultWidth);
    /// Reads "document_path" (a leading "~" is the home folder) as a regular file of at most
    /// 256 MiB, deletes it when it lies directly in the inbox, and reads "page", "anchor_text",
    /// "signature_box" (width 0.3) and "stamp_box" (width 0.22). Throws ToolError "Missing
    /// document_path" or the unreadable-document text.
    static SigningRequest signingRequest(const Arguments& arguments);

    /// Saves a signed PDF as a temporary file named after `name` ("lease.pdf" gives
    /// "lease-signed-XXXXXXXX.pdf") and gives its result entry: signed_pdf_path, page,
    /// company_text_added, stamp_added. Throws what saving throws.
    boost::asio::awaitable<boost::json::object> saved(SignedDocument document, std::string name) const;

    /// "<version> (<build>)".
    static std::string version();

    /// The result object as a text item: sorted keys, "/" unescaped; "{}" when it cannot be
    /// written.
    static mcp::Tool::Content resultText(const boost::json::object& result);
    /// PNG bytes as an image item in base64.
    static mcp::Tool::Content image(std::string_view png);

    /// A path as a client passes it, with a leading "~" or "~name" read as that home folder.
    static std::filesystem::path expandedPath(const std::string& path);

    /// A file path as the text given to clients.
    static std::string pathText(const std::filesystem::path& path);

private:
    boost::asio::awaitable<Contents> getCompanyProfile() const;
    boost::asio::awaitable<Contents> discardSignatures() const;

    MainThread& mainThread_;
    HostStatus& hostStatus_;
    SignatureStore& signatures_;
    std::array<Handler, kNames.size()> handlers_;
};

}  // namespace inkwarden
