#include "signature/company_profile_tools.hpp"

#include "platform/base64.hpp"
#include "platform/file_access.hpp"
#include "platform/unicode_text.hpp"
#include "shell/app_settings.hpp"
#include "shell/company_text.hpp"
#include "signature/company_stamp.hpp"
#include "signature/tool_error.hpp"

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <boost/json/object.hpp>

namespace inkwarden {

namespace asio = boost::asio;

namespace {

constexpr const char* kNoStamp =
    "No company stamp is set up. The user can add one under Company Signature in the Inkwarden panel, or ask "
    "you to set it with set_company_stamp.";
constexpr const char* kStampDeclined = "The user didn't approve the stamp. Don't ask again unless they tell you to.";
constexpr const char* kStampNote = "Transparent background. Use it for this document only.";
constexpr const char* kTextUnchanged = "The user didn't approve the change. The company text is unchanged.";
constexpr const char* kStampUnchanged = "The user didn't approve the change. The company stamp is unchanged.";
constexpr const char* kPassPathOrBase64 = "Pass path or png_base64.";
constexpr const char* kNotProcessed = "The stamp image couldn't be processed.";

QString tr(const char* text) {
    return QCoreApplication::translate("CompanyProfileTools", text);
}

const mcp::Value* find(const Tools::Arguments& arguments, const char* key) {
    auto found = arguments.find(key);
    return found == arguments.end() ? nullptr : &found->second;
}

std::optional<std::string_view> stringArgument(const Tools::Arguments& arguments, const char* key) {
    const auto* value = find(arguments, key);
    return value ? value->stringValue() : std::nullopt;
}

QImage decodeImage(std::string_view bytes) {
    QImage image;
    image.loadFromData(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return image;
}

/// The stored stamp's bytes and picture, or none when no readable image is stored.
std::optional<std::pair<std::string, QImage>> storedStamp() {
    std::string bytes;
    try {
        bytes = readRegularFile(CompanyStamp::url());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    auto image = decodeImage(bytes);
    if (image.isNull()) return std::nullopt;
    return std::pair{std::move(bytes), std::move(image)};
}

std::string limitsText() {
    return "The company text can have at most " + std::to_string(AppSettings::kCompanyTextMaxLines) + " lines and " +
           std::to_string(AppSettings::kCompanyTextMaxCharacters) + " characters.";
}

Tools::Contents status(const char* text) {
    boost::json::object result;
    result["status"] = text;
    return {Tools::resultText(result)};
}

}  // namespace

CompanyProfileTools::CompanyProfileTools(const Tools& tools, Approval& approval, Note note)
    : tools_(tools), approval_(approval), note_(std::move(note)) {}

void CompanyProfileTools::install(Tools& tools, Approval& approval, Note note) {
    auto self = std::make_shared<CompanyProfileTools>(tools, approval, std::move(note));
    using Method = asio::awaitable<Contents> (CompanyProfileTools::*)(Arguments, std::optional<std::string>);
    auto plug = [&](std::string_view name, Method method) {
        tools.setHandler(name, [self, method](Arguments arguments, std::optional<std::string> client) {
            return ((*self).*method)(std::move(arguments), std::move(client));
        });
    };
    plug("request_stamp", &CompanyProfileTools::requestStamp);
    plug("set_company_text", &CompanyProfileTools::setCompanyText);
    plug("set_company_stamp", &CompanyProfileTools::setCompanyStamp);
    plug("remove_company_stamp", &CompanyProfileTools::removeCompanyStamp);
}

asio::awaitable<CompanyProfileTools::Asked> CompanyProfileTools::ask(std::optional<std::string> client,
                                                                     MakeQuestion question) const {
    auto& status = tools_.hostStatus();
    auto& approval = approval_;
    std::string name;
    auto outcome = co_await tools_.mainThread().async<GateOutcome<bool>>(
        [&status, &approval, &name, &client, &question](MainThread::Done<GateOutcome<bool>> done) {
            name = status.name(client);
            approval.ask(question(QString::fromStdString(name)), std::move(done));
        });
    const bool approved = approvalAnswer(outcome);
    co_return Asked{approved, std::move(name)};
}

asio::awaitable<Tools::Contents> CompanyProfileTools::requestStamp(Arguments arguments,
                                                                   std::optional<std::string> client) {
    auto reason = Tools::reason(arguments);
    // The stamp is looked at before the gate, so a missing one is told even while a window is open.
    auto stamp = storedStamp();
    if (!stamp) throw ToolError(kNoStamp);
    std::optional<QString> document;
    if (auto text = stringArgument(arguments, "document")) document = QString::fromStdString(std::string(*text));

    auto asking = ask(client, [&](const QString& name) {
        return ApprovalQuestion{tr("%1 asks for your company stamp").arg(name), QString::fromStdString(reason),
                                document, std::nullopt, std::nullopt, stamp->second, tr("Stamp")};
    });
    auto asked = co_await std::move(asking);
    if (!asked.approved) throw ToolError(kStampDeclined);

    auto& store = tools_.signatures();
    const auto& bytes = stamp->first;
    auto saving = tools_.mainThread().call([&store, &bytes] { return store.save(bytes, "stamp", "png"); });
    auto path = co_await std::move(saving);

    boost::json::object result;
    result["status"] = "approved";
    result["path"] = Tools::pathText(path);
    result["deleted_after_seconds"] = kDeletedAfterSeconds;
    result["note"] = kStampNote;
    co_return Contents{Tools::resultText(result), Tools::image(bytes)};
}

asio::awaitable<Tools::Contents> CompanyProfileTools::setCompanyText(Arguments arguments,
                                                                     std::optional<std::string> client) {
    auto given = stringArgument(arguments, "text");
    auto text = trimWhitespaceAndNewlines(given ? std::string(*given) : std::string());
    // Lines are counted as the reader of the stored text counts them, so nothing approved is cut.
    if (graphemeCount(text) > AppSettings::kCompanyTextMaxCharacters ||
        companyTextLines(text).size() > AppSettings::kCompanyTextMaxLines)
        throw ToolError(limitsText());

    const bool removing = text.empty();
    auto asking = ask(client, [&](const QString& name) {
        const auto currentText = QString::fromStdString(AppSettings::companyText());
        if (removing)
            return ApprovalQuestion{tr("%1 wants to remove your company text").arg(name),
                                    tr("Company signatures will then have no text under them."), std::nullopt,
                                    currentText, std::nullopt, std::nullopt, tr("Remove")};
        return ApprovalQuestion{tr("%1 wants to set your company text").arg(name),
                                tr("It's printed under your signature when you sign for your company."), std::nullopt,
                                QString::fromStdString(text), currentText, std::nullopt, tr("Save")};
    });
    auto asked = co_await std::move(asking);
    if (!asked.approved) throw ToolError(kTextUnchanged);

    auto& note = note_;
    co_await tools_.mainThread().call([&text, &asked, &note, removing] {
        AppSettings::setCompanyText(text);
        note("Company text " + std::string(removing ? "removed" : "set") + " by " + asked.name);
    });

    boost::json::object result;
    result["status"] = "saved";
    result["company_text"] = text;
    co_return Contents{Tools::resultText(result)};
}

asio::awaitable<Tools::Contents> CompanyProfileTools::setCompanyStamp(Arguments arguments,
                                                                      std::optional<std::string> client) {
    std::string bytes;
    std::optional<std::filesystem::path> file;
    auto path = stringArgument(arguments, "path");
    auto base64 = stringArgument(arguments, "png_base64");
    if (path && !path->empty()) {
        file = Tools::expandedPath(std::string(*path));
        try {
            bytes = readRegularFile(*file);
        } catch (const std::exception&) {
            throw ToolError("Inkwarden can't read " + std::string(*path) + ": it's sandboxed. Copy the image into " +
                            Tools::pathText(CompanyStamp::inbox()) + " and pass that path.");
        }
    } else if (auto decoded = base64 ? platform::base64Decode(*base64) : std::nullopt) {
        bytes = std::move(*decoded);
    } else {
        throw ToolError(kPassPathOrBase64);
    }

    auto png = CompanyStamp::normalized(bytes);
    // A stamp we made ourselves that does not read back is our failure, not the user's refusal.
    auto image = decodeImage(png);
    if (image.isNull()) throw ToolError(kNotProcessed);

    auto asking = ask(client, [&](const QString& name) {
        return ApprovalQuestion{tr("%1 wants to set your company stamp").arg(name),
                                tr("It replaces the stamp you have now. Your AI gets it only when you approve a "
                                   "request."),
                                std::nullopt, std::nullopt, std::nullopt, image, tr("Save")};
    });
    auto asked = co_await std::move(asking);
    if (!asked.approved) throw ToolError(kStampUnchanged);

    auto& note = note_;
    co_await tools_.mainThread().call([&png, &asked, &note] {
        CompanyStamp::save(png);
        note("Company stamp set by " + asked.name);
    });
    if (file) CompanyStamp::removeFromInbox(*file);
    co_return status("saved");
}

asio::awaitable<Tools::Contents> CompanyProfileTools::removeCompanyStamp(Arguments,
                                                                         std::optional<std::string> client) {
    auto stamp = storedStamp();
    if (!stamp) co_return status("no stamp was set up");

    auto asking = ask(client, [&](const QString& name) {
        return ApprovalQuestion{tr("%1 wants to remove your company stamp").arg(name),
                                tr("Inkwarden deletes its copy of the stamp."), std::nullopt, std::nullopt,
                                std::nullopt, stamp->second, tr("Remove")};
    });
    auto asked = co_await std::move(asking);
    if (!asked.approved) throw ToolError(kStampUnchanged);

    auto& note = note_;
    co_await tools_.mainThread().call([&asked, &note] {
        CompanyStamp::remove();
        note("Company stamp removed by " + asked.name);
    });
    co_return status("removed");
}

}  // namespace inkwarden
