#include "mcp/server/detail/result_text.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mcp/base/detail/array_assembly.hpp"
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

void writeToolList(TextWriter& writer, const ListTools::Result& result) {
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

/// A list of tools and its text.
struct WrittenToolList {
    std::shared_ptr<const ListTools::Result> result;
    bool escapeSlashes;
    std::string text;
};

// A server gives the same list for every tools/list, and writing it is most of the answer's cost:
// the last list written is kept with its text, and a list equal to it takes that text again.
std::atomic<std::shared_ptr<const WrittenToolList>> lastToolList;

// The schemas of a list made from one catalog share their blocks with the last list's, and a
// payload shared with a value written without error (so holding no NaN) is written alike: the
// deep comparison is left for the rest.
bool writtenAlike(const Value& last, const Value& value) {
    return ArrayAssembly::sameElements({&last, 1}, {&value, 1}) || last == value;
}

bool writtenAlike(const std::optional<Value>& last, const std::optional<Value>& value) {
    return last.has_value() == value.has_value() && (!last || writtenAlike(*last, *value));
}

// Every member that writeTool writes.
bool writtenAlike(const Tool& last, const Tool& tool) {
    return last.name == tool.name && last.title == tool.title && last.description == tool.description &&
           writtenAlike(last.inputSchema, tool.inputSchema) && writtenAlike(last.outputSchema, tool.outputSchema) &&
           last.annotations == tool.annotations && last.icons == tool.icons && last.meta == tool.meta;
}

bool writtenAlike(const ListTools::Result& last, const ListTools::Result& result) {
    return last.nextCursor == result.nextCursor && last.meta == result.meta &&
           std::ranges::equal(last.tools, result.tools, [](const Tool& a, const Tool& b) { return writtenAlike(a, b); });
}

/// Writes `result`, which `share` gives as a list to keep, with the text of the last list when
/// that list is the same or equal.
template <class Share>
void writeToolListOnce(TextWriter& writer, const ListTools::Result& result, Share share) {
    auto last = lastToolList.load();
    if (last && last->escapeSlashes == writer.escapesSlashes() &&
        (last->result.get() == &result || writtenAlike(*last->result, result))) {
        writer.raw(last->text);
        return;
    }
    auto written = std::make_shared<WrittenToolList>(WrittenToolList{share(), writer.escapesSlashes(), {}});
    TextWriter listWriter(written->text, written->escapeSlashes);
    writeToolList(listWriter, result);
    listWriter.finish();
    writer.raw(written->text);
    lastToolList.store(std::move(written));
}

}  // namespace

void writeResultAsValue(TextWriter& writer, const ListTools::Result& result) {
    writeToolListOnce(writer, result, [&] { return std::make_shared<const ListTools::Result>(result); });
}

void writeResultAsValue(TextWriter& writer, const std::shared_ptr<const ListTools::Result>& result) {
    // Kept as it is: a shared result never changes.
    writeToolListOnce(writer, *result, [&] { return result; });
}

}  // namespace mcp::detail
