#include "platform/base64.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

using platform::base64Decode;
using platform::base64Encode;
using platform::base64UrlDecode;
using platform::base64UrlEncode;

TEST(Base64Test, EncodesBothAlphabets) {
    struct Case {
        std::string bytes;
        const char* standard;
        const char* url;
    };
    const Case cases[] = {
        {"", "", ""},
        {"f", "Zg==", "Zg"},
        {"fo", "Zm8=", "Zm8"},
        {"foo", "Zm9v", "Zm9v"},
        {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
        {"\xfb\xff\xbf", "+/+/", "-_-_"},
        {std::string("\0\0", 2), "AAA=", "AAA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.standard);
        EXPECT_EQ(base64Encode(c.bytes), c.standard);
        EXPECT_EQ(base64Decode(c.standard), c.bytes);
        EXPECT_EQ(base64UrlEncode(c.bytes), c.url);
        EXPECT_EQ(base64UrlDecode(c.url), c.bytes);
    }
}

TEST(Base64Test, RoundTripsEveryByteAndLength) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (std::size_t length = 0; length <= bytes.size(); length += 37) {
        auto piece = bytes.substr(bytes.size() - length);
        EXPECT_EQ(base64Decode(base64Encode(piece)), piece);
        EXPECT_EQ(base64UrlDecode(base64UrlEncode(piece)), piece);
    }
}

TEST(Base64Test, StandardDecodingIsStrict) {
    const char* refused[] = {
        "Zg",        // padding missing
        "Zm9",       // length not a multiple of 4
        "Zg=",       // short padding
        "Z===",      // three padding characters
        "====",      // padding only
        "Zg==Zg==",  // padding in the middle
        "Zm=v",      // padding inside a group
        "Zm9v\n",    // line break
        " Zm9v",     // space
        "Zm 9v",     // space inside
        "-_-_",      // URL alphabet
        "Zm9v*A==",  // other character
        "Zm9\xc3\xa9",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_EQ(base64Decode(text), std::nullopt);
    }
}

TEST(Base64Test, UrlDecodingTakesOptionalPaddingOnly) {
    EXPECT_EQ(base64UrlDecode("Zg=="), "f");
    EXPECT_EQ(base64UrlDecode("Zm8="), "fo");
    EXPECT_EQ(base64UrlDecode("Zm8"), "fo");
    const char* refused[] = {
        "Zg=",    // padding that does not complete the group
        "Z",      // a length no encoder makes
        "Zm9vY",  // the same after whole groups
        "Zg===",  // too much padding
        "Zg==Zg", // padding in the middle
        "+/+/",   // standard alphabet
        "Zm9v ",  // space
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_EQ(base64UrlDecode(text), std::nullopt);
    }
}

}  // namespace
