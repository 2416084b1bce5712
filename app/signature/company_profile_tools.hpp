#pragma once

#include "host/tools.hpp"
#include "signature/approval_request.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace inkwarden {

/// The tools that hand out the company stamp or change the company profile, each only after the
/// user approved it in a dialog: request_stamp, set_company_text, set_company_stamp and
/// remove_company_stamp.
///
/// Arguments, files and images are handled in the task of the call; the dialog, the settings, the
/// stamp file, the signature files and the log lines on the main thread.
class CompanyProfileTools : public std::enable_shared_from_this<CompanyProfileTools> {
public:
    using Arguments = Tools::Arguments;
    using Contents = Tools::Contents;
    /// Writes one line of the application log.
    using Note = std::function<void(std::string_view line)>;

    /// How long a handed-out stamp copy lives, as the result tells the client.
    static constexpr int kDeletedAfterSeconds = 600;

    /// `tools` and `approval` (main thread only) must outlive the handlers.
    CompanyProfileTools(const Tools& tools, Approval& approval, Note note);

    /// Plugs the four tools into `tools`, asking through `approval` and logging through `note`.
    static void install(Tools& tools, Approval& approval, Note note);

    boost::asio::awaitable<Contents> requestStamp(Arguments arguments, std::optional<std::string> client);
    boost::asio::awaitable<Contents> setCompanyText(Arguments arguments, std::optional<std::string> client);
    boost::asio::awaitable<Contents> setCompanyStamp(Arguments arguments, std::optional<std::string> client);
    boost::asio::awaitable<Contents> removeCompanyStamp(Arguments arguments, std::optional<std::string> client);

private:
    struct Asked {
        bool approved = false;
        std::string name;  // the client's display name the user was shown
    };
    using MakeQuestion = std::function<ApprovalQuestion(const QString& name)>;

    /// Asks on the main thread; throws the gate's busy or time-out ToolError.
    boost::asio::awaitable<Asked> ask(std::optional<std::string> client, MakeQuestion question) const;

    const Tools& tools_;
    Approval& approval_;
    Note note_;
};

}  // namespace inkwarden
