#include "platform/utf8.hpp"

#include "platform/json/write.hpp"

#include <boost/json/value.hpp>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8Test, ValidatesAndRepairsByMaximalSubparts) {
    struct Case {
        const char* name;
        std::string input;
        bool valid;
        std::string repaired;
    };
    const std::string fffd = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"Empty", "", true, ""},
        {"Ascii", "plain text, longer than one word", true, "plain text, longer than one word"},
        {"TwoThreeFourBytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"Limits", "\xF4\x8F\xBF\xBF\xED\x9F\xBF", true, "\xF4\x8F\xBF\xBF\xED\x9F\xBF"},
        {"StrayContinuation", "a\x80z", false, "a" + fffd + "z"},
        {"Latin1Byte", "caf\xE9!", false, "caf" + fffd + "!"},
        {"OverlongSlash", "\xC0\xAF", false, fffd + fffd},
        {"OverlongThreeBytes", "\xE0\x80\xAF", false, fffd + fffd + fffd},
        {"Surrogate", "\xED\xA0\x80", false, fffd + fffd + fffd},
        {"AboveLastCodePoint", "\xF4\x90\x80\x80", false, fffd + fffd + fffd + fffd},
        {"CutShortAtTheEnd", "ok\xE2\x82", false, "ok" + fffd},
        {"CutShortBeforeAscii", "\xF0\x9F\x98" "x", false, fffd + "x"},
        {"InvalidAfterAWordOfAscii", "12345678\xFF", false, "12345678" + fffd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::isValidUTF8(c.input), c.valid);
        EXPECT_EQ(platform::repairUTF8(c.input), c.repaired);
    }
}

TEST(Utf8Test, TheWriterNeverWritesBytesThatAreNoUtf8) {
    // A file name from the disk may hold any bytes; the peer must still get readable JSON.
    boost::json::value value = {{"path\xFF", "/tmp/caf\xE9.pdf"}};
    EXPECT_EQ(platform::json::write(value, {.escapeSlashes = false}), "{\"path\xEF\xBF\xBD\":\"/tmp/caf\xEF\xBF\xBD.pdf\"}");
}

}  // namespace
