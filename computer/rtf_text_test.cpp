// RTF content read as text: what the server's documents hold, and what hostile ones cannot do.
#include "computer/rtf_text.h"

#include <gtest/gtest.h>

#include <string>

namespace hm {
namespace {

TEST(RtfToText, DocumentsGiveTheirText) {
    struct Case {
        const char* name;
        std::string rtf;
        std::u16string text;
    } const cases[] = {
        {"plain words", "{\\rtf1 Hello world}", u"Hello world"},
        {"paragraphs and lines", "{\\rtf1 a\\par b\\line c\\page d\\sect e}", u"a\r\nb\r\nc\r\nd\r\ne"},
        {"escaped braces and backslash", "{\\rtf1 \\{x\\}\\\\}", u"{x}\\"},
        {"code page 1250 hex", "{\\rtf1 \\'e8\\'ed\\'9a\\'8a}", u"číšŠ"},
        {"raw code page 1250 bytes", "{\\rtf1 \xe8\xed}", u"čí"},
        {"unicode skips one fallback", "{\\rtf1 \\u269?ist\\u253\\'fd}", u"čistý"},
        {"negative unicode", "{\\rtf1 \\u-3913?}", u"\uF0B7"},
        {"\\uc2 skips two, per group", "{\\rtf1 {\\uc2\\u269??a}\\u269?b}", u"čačb"},
        {"\\uc0 skips nothing", "{\\rtf1\\uc0\\u269 x}", u"čx"},
        {"fallback ends at a brace", "{\\rtf1\\uc3\\u269{x}y}", u"čxy"},
        {"surrogate pair by units", "{\\rtf1 \\u-10179?\\u-8704?}", u"\U0001F600"},
        {"tables and info dropped",
         "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
         "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}\\pard\\f0\\fs20 Text\\par}",
         u"Text\r\n"},
        {"ignorable destinations dropped", "{\\rtf1 a{\\*\\generator Msftedit 5.41;}{\\*\\unknownword x}b}", u"ab"},
        {"pictures, objects and their data dropped",
         "{\\rtf1 a{\\pict\\pngblip 89504e47}{\\object{\\*\\objdata 0102}{\\result r}}b}", u"ab"},
        {"field result kept, instruction dropped", "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt odkaz}}}",
         u"odkaz"},
        {"binary data skipped whole", "{\\rtf1 a{\\bin4 }{\\}b}", u"ab"},
        {"tabs, cells and rows", "{\\rtf1 1\\tab A\\par 2\\cell B\\cell\\row}", u"1\tA\r\n2\tB\r\n"},
        {"named characters", "{\\rtf1 \\endash\\emdash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote\\~\\-\\_}",
         u"–—•‘’“”\u00A0-"},
        {"file line ends are no text", "{\\rtf1 a\r\nb\nc}", u"abc"},
        {"backslash before a line end is a paragraph", "{\\rtf1 a\\\nb}", u"a\r\nb"},
        {"space ends a word and is eaten once", "{\\rtf1\\b  two}", u" two"},
        {"digits after a word are its number", "{\\rtf1\\fs24 12}", u"12"},
        {"not RTF: read from the start", "abc", u"abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(RtfToText(c.rtf), c.text) << c.name;
}

TEST(RtfToText, HostileDocumentsAreBounded) {
    struct Case {
        const char* name;
        std::string rtf;
        std::u16string text;
    } const cases[] = {
        {"unclosed: what it held", "{\\rtf1 abc{\\b def", u"abcdef"},
        {"text after the outer group is not read", "{\\rtf1 a}b{c}", u"a"},
        {"stray closing brace ends it", "}abc", u""},
        {"closing inside ends at the outer group", "{\\rtf1 a}}}", u"a"},
        {"lone backslash at the end", "{\\rtf1 a\\", u"a"},
        {"truncated hex", "{\\rtf1 a\\'e", u"a"},
        {"hex without digits", "{\\rtf1 a\\'zzb}", u"azzb"},
        {"huge \\uN is U+FFFD", "{\\rtf1 \\u99999999999999999999?x}", u"\uFFFDx"},
        {"\\uN past 16 bits is U+FFFD", "{\\rtf1 \\u65536?x}", u"\uFFFDx"},
        {"\\u without a number is a word", "{\\rtf1 \\u x}", u"x"},
        {"huge \\uc skips only what is there", "{\\rtf1 {\\uc999999999\\u269 abc}d}", u"čd"},
        {"negative \\uc skips nothing", "{\\rtf1\\uc-5\\u269 x}", u"čx"},
        {"\\bin longer than the input", "{\\rtf1 a\\bin999999999 xyz}", u"a"},
        {"negative \\bin", "{\\rtf1 a\\bin-5 b}", u"ab"},
        {"over-long word", "{\\rtf1 \\" + std::string(5000, 'p') + "ar x}", u"x"},
        {"over-long word that begins like one", "{\\rtf1 \\par" + std::string(40, 'x') + " y}", u"y"},
        {"NUL and control bytes", std::string("{\\rtf1 a\0\x01\tb}", 13), u"a\tb"},
        {"NUL by \\u0 and \\'00", "{\\rtf1 a\\u0?\\'00b}", u"ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(RtfToText(c.rtf), c.text) << c.name;

    // 100 000 nested groups: the text beyond the depth bound is dropped, what follows the deep
    // part is read again, and nothing overflows.
    std::string deep = "{\\rtf1 a";
    for (int i = 0; i < 100000; ++i) deep += "{x";
    for (int i = 0; i < 100000; ++i) deep += "}";
    deep += "b}";
    std::u16string shallow_part(std::size_t(kRtfTextMaxDepth - 1), u'x');
    EXPECT_EQ(RtfToText(deep), u"a" + shallow_part + u"b");
    // Unbalanced the other way: opened and never closed.
    EXPECT_EQ(RtfToText(std::string(100000, '{') + "x").size(), 0u);
}

TEST(RtfToText, ContentIn1250KeepsPlainTextAsItIs) {
    EXPECT_EQ(ContentText1250("1\tA\r\n{\\b}"), "1\tA\r\n{\\b}");
    EXPECT_EQ(ContentText1250("{\\rtf1 \\u268?\\u8364?\\u1046?}"), "\xc8\x80?");
    EXPECT_TRUE(IsRtfContent("{\\rtf1\\ansi x}"));
    EXPECT_FALSE(IsRtfContent("{\\rtf x}"));
    EXPECT_FALSE(IsRtfContent(" {\\rtf1}"));
}

}  // namespace
}  // namespace hm
