#include "tools/cli/JsonText.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using tools::JsonText;

TEST(JsonText, EscapesAndKeepsValidUtf8)
{
    EXPECT_EQ(JsonText::quote(""), "\"\"");
    EXPECT_EQ(JsonText::quote("Tube Drive"), "\"Tube Drive\"");
    EXPECT_EQ(JsonText::quote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonText::quote("tab\there\n\x01"), "\"tab\\u0009here\\u000a\\u0001\"");
    const std::string utf8 = "\xC2\xB5s dB \xE2\x80\x93 \xF0\x9F\x8E\xB8";  // micro, en dash, a four-byte sign
    EXPECT_EQ(JsonText::quote(utf8), "\"" + utf8 + "\"");
}

TEST(JsonText, ReplacesBytesThatAreNotUtf8)
{
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(JsonText::quote("\xFF"), "\"" + replacement + "\"");                      // never a lead byte
    EXPECT_EQ(JsonText::quote("\x80x"), "\"" + replacement + "x\"");                    // stray continuation
    EXPECT_EQ(JsonText::quote("\xC3"), "\"" + replacement + "\"");                      // cut at the end
    EXPECT_EQ(JsonText::quote("\xE2\x80x"), "\"" + replacement + replacement + "x\"");  // cut in the middle
    EXPECT_EQ(JsonText::quote("\xC0\xAF"), "\"" + replacement + replacement + "\"");    // overlong '/'
    EXPECT_EQ(JsonText::quote("\xED\xA0\x80"), "\"" + replacement + replacement + replacement + "\"");  // surrogate
    EXPECT_EQ(JsonText::quote("\xF4\x90\x80\x80").substr(1, 3), replacement);  // beyond U+10FFFF
    // Latin-1 text from an old module: every byte above 0x7F replaced, the rest kept.
    EXPECT_EQ(JsonText::quote("Gr\xF6\xDF"
                              "e"),
              "\"Gr" + replacement + replacement + "e\"");
}

}  // namespace

namespace {

TEST(JsonWriter, OuterLevelsOneMemberALineDeeperOnOneLine)
{
    tools::JsonWriter json;
    json.beginObject();
    json.key("name").value("a\"b").key("count").value(3).key("on").value(true);
    json.key("values").beginArray().value(0.25f).value(std::numeric_limits<float>::infinity()).endArray();
    json.key("empty").beginArray().endArray();
    json.key("pins").beginArray();
    json.beginObject().key("index").value(0).key("labels").beginArray().value("L").value("R").endArray().endObject();
    json.null();
    json.endArray();
    json.endObject();
    EXPECT_EQ(json.text(),
              "{\n"
              "  \"name\": \"a\\\"b\",\n"
              "  \"count\": 3,\n"
              "  \"on\": true,\n"
              "  \"values\": [\n"
              "    0.25,\n"
              "    null\n"
              "  ],\n"
              "  \"empty\": [],\n"
              "  \"pins\": [\n"
              "    {\"index\": 0, \"labels\": [\"L\", \"R\"]},\n"
              "    null\n"
              "  ]\n"
              "}\n");
}

}  // namespace
