#include "host/tools.hpp"

#include <mutex>

#include "signature/company_stamp.hpp"

namespace inkwarden {
namespace {

using mcp::Value;

constexpr std::string_view k_sign_document_0 = R"~(Have the user sign a PDF (or an image of a document) and get the signed PDF back. Use this whenever you have the document as a file: a window shows the page, the user draws their signature and drags it to the right place, and Inkwarden writes it into the PDF, so you don't place anything yourself. Inkwarden is sandboxed: first copy the file into )~";
constexpr std::string_view k_sign_document_1 = R"~( and pass that path as document_path (the copy is deleted afterwards). reason: one short sentence shown to the user. page: the page to sign, counted from 1. anchor_text: the text printed next to the signature line (e.g. "Signature of the tenant"); the signature box starts just above it. company: true when the user signs for their company (adds their company text). stamp: true to add the company stamp. signature_box and stamp_box: optional, where each should go, as fractions of the page from 0 to 1: x is the left edge, y is the line it stands on measured from the top of the page, width is its width (e.g. {"x": 0.12, "y": 0.78, "width": 0.3}). Use them when you know where the signature field is; the user can still move the boxes. Returns signed_pdf_path (a temporary file: copy it to where the signed document belongs; the original is unchanged) and a picture of the signed page. Fillable form fields become fixed content, and an existing digital signature in the PDF is no longer valid afterwards.)~";
constexpr std::string_view k_sign_documents_0 = R"~(Have the user sign several documents in one window, for example a set of forms. They draw their signature once; each document has its own signature box, which they can move, and they can leave documents out. documents: a list, each entry with document_path (copied into the inbox, as for sign_document) and optionally page, anchor_text, signature_box and stamp_box. reason, company and stamp apply to all. Returns one entry per document, in order: signed_pdf_path, or a status saying the user left it out. Use sign_document for a single document.)~";
constexpr std::string_view k_request_signature_0 = R"~(Ask the user to draw their signature now. Opens a window on their Mac and waits (up to five minutes) until they sign or cancel. reason: one short sentence shown to the user, saying what they're signing and why. document: optional name of the file or form, also shown. document_path: optional, the document itself (PDF or image), shown next to the signature pad so the user sees what they sign; Inkwarden is sandboxed, so first copy the file into )~";
constexpr std::string_view k_request_signature_1 = R"~( and pass that path (the copy is deleted afterwards). page: the page that needs the signature, counted from 1; the preview opens there. company: true when the user signs for their company; their company text (name, role, company) is then printed below the signature unless they untick it. stamp: true to also get the company stamp, as a separate PNG (stamp_path). Returns the PNG as an image plus JSON with its file path, pixel size and when it's deleted.)~";
constexpr std::string_view k_request_stamp_0 = R"~(Ask the user for their company stamp without a signature. Opens a window showing the stamp and waits until they approve or cancel. Returns a temporary copy as an image and as a file path.)~";
constexpr std::string_view k_get_company_profile_0 = R"~(Inkwarden's version, and what the user has set up for company signatures: company_text (the lines printed under a company signature, empty if none) and has_stamp. Read it before proposing a new company text. Also inbox, the folder to copy a file into before sign_document, request_signature or set_company_stamp.)~";
constexpr std::string_view k_set_company_text_0 = R"~(Set the lines printed under a company signature, e.g. "Alex Example\nManaging Director\nExample GmbH". The user confirms the change in a window. An empty text removes it.)~";
constexpr std::string_view k_set_company_stamp_0 = R"~(Set the user's company stamp from an image (PNG or JPEG). The user confirms it in a window. Inkwarden is sandboxed and can't read your folders: copy the file into the inbox (see get_company_profile) and pass that path, or pass a small image as png_base64. A white background is made transparent.)~";
constexpr std::string_view k_remove_company_stamp_0 = R"~(Remove the user's company stamp from Inkwarden. The user confirms it in a window.)~";
constexpr std::string_view k_discard_signatures_0 = R"~(Delete every signature file Inkwarden still holds. Call it once the signature is placed.)~";

Value type(const char* name) {
    return Value::object({{"type", Value(name)}});
}

Value schema(std::initializer_list<std::pair<std::string, Value>> properties, std::initializer_list<Value> required) {
    return Value::object({
        {"type", Value("object")},
        {"properties", Value::object(properties)},
        {"required", Value::array(required)},
    });
}

mcp::Tool tool(std::string_view name, std::string description, Value inputSchema, bool readOnly = false) {
    mcp::Tool::Annotations annotations;
    annotations.openWorldHint = false;
    annotations.readOnlyHint = readOnly;
    return mcp::Tool(std::string(name), std::nullopt, std::move(description), std::move(inputSchema), annotations);
}

std::vector<mcp::Tool> buildCatalog() {
    const auto inbox = Tools::pathText(CompanyStamp::inbox());
    const auto& box = Tools::boxProp();
    const auto document = Value::object({
        {"type", Value("object")},
        {"properties", Value::object({
                           {"document_path", type("string")},
                           {"page", type("integer")},
                           {"anchor_text", type("string")},
                           {"signature_box", box},
                           {"stamp_box", box},
                       })},
        {"required", Value::array({Value("document_path")})},
    });
    std::vector<mcp::Tool> tools;
    tools.push_back(tool("sign_document", std::string(k_sign_document_0) + inbox + std::string(k_sign_document_1),
                         schema({{"reason", type("string")},
                                 {"document_path", type("string")},
                                 {"page", type("integer")},
                                 {"anchor_text", type("string")},
                                 {"signature_box", box},
                                 {"stamp_box", box},
                                 {"company", type("boolean")},
                                 {"stamp", type("boolean")}},
                                {Value("reason"), Value("document_path")})));
    tools.push_back(tool("sign_documents", std::string(k_sign_documents_0),
                         schema({{"reason", type("string")},
                                 {"documents", Value::object({{"type", Value("array")}, {"items", document}})},
                                 {"company", type("boolean")},
                                 {"stamp", type("boolean")}},
                                {Value("reason"), Value("documents")})));
    tools.push_back(tool("request_signature",
                         std::string(k_request_signature_0) + inbox + std::string(k_request_signature_1),
                         schema({{"reason", type("string")},
                                 {"document", type("string")},
                                 {"document_path", type("string")},
                                 {"page", type("integer")},
                                 {"company", type("boolean")},
                                 {"stamp", type("boolean")}},
                                {Value("reason")})));
    tools.push_back(tool("request_stamp", std::string(k_request_stamp_0),
                         schema({{"reason", type("string")}, {"document", type("string")}}, {Value("reason")})));
    tools.push_back(tool("get_company_profile", std::string(k_get_company_profile_0), schema({}, {}), true));
    tools.push_back(tool("set_company_text", std::string(k_set_company_text_0),
                         schema({{"text", type("string")}}, {Value("text")})));
    tools.push_back(tool("set_company_stamp", std::string(k_set_company_stamp_0),
                         schema({{"path", type("string")}, {"png_base64", type("string")}}, {})));
    tools.push_back(tool("remove_company_stamp", std::string(k_remove_company_stamp_0), schema({}, {})));
    tools.push_back(tool("discard_signatures", std::string(k_discard_signatures_0), schema({}, {})));
    return tools;
}

}  // namespace

const Value& Tools::boxProp() {
    static const Value box = Value::object({
        {"type", Value("object")},
        {"properties", Value::object({{"x", type("number")}, {"y", type("number")}, {"width", type("number")}})},
    });
    return box;
}

const std::vector<mcp::Tool>& Tools::all() {
    static const std::vector<mcp::Tool> tools = buildCatalog();
    return tools;
}

}  // namespace inkwarden
