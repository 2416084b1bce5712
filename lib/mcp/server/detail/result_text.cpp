#include "mcp/server/detail/result_text.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "mcp/base/detail/value_text.hpp"
#include "platform/json/codec.hpp"
#include "platform/json/encoding_error.hpp"

namespace mcp::detail {

namespace {

using platform::json::TextWriter;

// Members go out in byte order of their keys; each writer below lists them so.

void writeText(TextWriter& writer, std::string_view key, const std::optional<std::string>& text) {
    if (!text) return;
    writer.key(key);
    writeTextAsValue(writer, *text);
}

void writeFlag(TextWriter& writer, std::string_view key, const std::optional<bool>& flag) {
    if (!flag) return;
    writer.key(key);
    writer.boolean(*flag);
}

void writeMetadata(TextWriter& writer, const std::optional<Metadata>& meta) {
    if (!meta) return;
    writer.key("_meta");
    writer.beginObject();
    for (const auto& [key, value] : meta->fields) {
        writer.key(key);
        writeAsValue(writer, value);
    }
    writer.endObject();
}

void writeAnnotations(TextWriter& writer, const Tool::Annotations& annotations) {
    if (annotations.isEmpty()) return;
    writer.key("annotations");
    writer.beginObject();
    writeFlag(writer, "destructiveHint", annotations.destructiveHint);
    writeFlag(writer, "idempotentHint", annotations.idempotentHint);
    writeFlag(writer, "openWorldHint", annotations.openWorldHint);
    writeFlag(writer, "readOnlyHint", annotations.readOnlyHint);
    writeText(writer, "title", annotations.title);
    writer.endObject();
}

void writeTool(TextWriter& writer, const Tool& tool) {
    writer.beginObject();
    writeMetadata(writer, tool.meta);
    writeAnnotations(writer, tool.annotations);
    writer.key("description");
    if (tool.description) writeTextAsValue(writer, *tool.description);
    else writer.null();
    if (tool.icons) {
        // Rare and small: through their JSON.
        writer.key("icons");
        writeAsValue(writer, platform::json::encode(*tool.icons));
    }
    writer.key("inputSchema");
    writeAsValue(writer, tool.inputSchema);
    writer.key("name");
    writeTextAsValue(writer, tool.name);
    if (tool.outputSchema) {
        writer.key("outputSchema");
        writeAsValue(writer, *tool.outputSchema);
    }
    writeText(writer, "title", tool.title);
    writer.endObject();
}

}  // namespace

void writeResultAsValue(TextWriter& writer, const ListTools::Result& result) {
    try {
        writer.beginObject();
        writeMetadata(writer, result.meta);
        writeText(writer, "nextCursor", result.nextCursor);
        writer.key("tools");
        writer.beginArray();
        for (const auto& tool : result.tools) writeTool(writer, tool);
        writer.endArray();
        writer.endObject();
    } catch (const platform::json::EncodingError&) {
        // Written in key order, built in member order: the building's first refusal is the one.
        (void)Value::fromJSON(result.toJSON());
        throw;
    }
}

}  // namespace mcp::detail
