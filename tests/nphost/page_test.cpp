// What the host reads from a page: the embeds' attributes in page order, and
// where each embed goes.
#include <gtest/gtest.h>

#include "page.h"

namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct EmbedCase {
    const char* what;
    const char* html;
    std::vector<Attributes> embeds;
};

const EmbedCase kEmbedCases[] = {
    {"double, single and unquoted values in page order",
     R"(<embed src="a.opf" width='320' height=240 caption="Hello there">)",
     {{{"src", "a.opf"}, {"width", "320"}, {"height", "240"}, {"caption", "Hello there"}}}},
    {"names keep their case; the tag is found in any case",
     R"(<EMBED SRC="a.opf" Width=10>)", {{{"SRC", "a.opf"}, {"Width", "10"}}}},
    {"entities are decoded, unknown ones kept",
     R"(<embed src="a.opf?x=1&amp;y=2" t="&lt;b&gt; &quot;q&quot; &#65;&#x42; &nbsp; & end">)",
     {{{"src", "a.opf?x=1&y=2"}, {"t", "<b> \"q\" AB &nbsp; & end"}}}},
    {"a quote of the other kind and > inside a quoted value",
     R"(<embed src='it"s.opf' alt="a > b">)", {{{"src", "it\"s.opf"}, {"alt", "a > b"}}}},
    {"blanks around =, newlines between attributes, self-closing",
     "<embed\n  src = \"a.opf\"\n\twidth\t=\t5 />", {{{"src", "a.opf"}, {"width", "5"}}}},
    {"attribute without value", R"(<embed hidden src=a.opf>)", {{{"hidden", ""}, {"src", "a.opf"}}}},
    {"a value without a name is dropped", R"(<embed ="x" src=a.opf>)", {{{"src", "a.opf"}}}},
    {"a repeated attribute keeps its first value", R"(<embed src=a.opf SRC=b.opf>)",
     {{{"src", "a.opf"}}}},
    {"embeds inside comments are ignored",
     R"(<!-- <embed src="hidden.opf"> --><embed src="one.opf"><!--<embed src=x>-->)",
     {{{"src", "one.opf"}}}},
    {"an unterminated comment hides the rest", R"(<embed src=a.opf><!-- <embed src=b.opf>)",
     {{{"src", "a.opf"}}}},
    {"other tags that start like embed are not embeds",
     R"(<embedded src=no.opf><p>text</p><embed src=yes.opf>)", {{{"src", "yes.opf"}}}},
    {"two embeds in order, an embed with no attributes",
     R"(<html><body><embed src=1.opf><br><embed></body>)", {{{"src", "1.opf"}}, {}}},
    {"a tag that never closes is ignored", R"(<embed src=a.opf><embed src="b.opf)",
     {{{"src", "a.opf"}}}},
    {"an embed written inside a script text is not an embed",
     R"(<SCRIPT>w("<embed src=no.opf>")</script ><embed src=yes.opf>)", {{{"src", "yes.opf"}}}},
};

TEST(ParseScriptsTest, ReadsInlineAndExternalScriptsInPageOrder) {
    const auto scripts = nphost::ParseScripts(
        "<script>a(\"</p>\");</script><!-- <script>hidden()</script> -->"
        "<Script src='b.js' defer></SCRIPT><script type=text/javascript>\nc()\n</script>"
        "<script>never ends");
    ASSERT_EQ(3u, scripts.size());
    EXPECT_EQ("", scripts[0].src);
    EXPECT_EQ("a(\"</p>\");", scripts[0].text);
    EXPECT_EQ("b.js", scripts[1].src);
    EXPECT_EQ("", scripts[1].text);
    EXPECT_EQ("\nc()\n", scripts[2].text);
}

TEST(ParseEmbedsTest, ReadsEveryAttributeInPageOrder) {
    for (const EmbedCase& c : kEmbedCases) {
        SCOPED_TRACE(c.what);
        const std::vector<nphost::Embed> embeds = nphost::ParseEmbeds(c.html);
        ASSERT_EQ(c.embeds.size(), embeds.size());
        for (std::size_t i = 0; i < embeds.size(); ++i) EXPECT_EQ(c.embeds[i], embeds[i].attributes);
    }
}

TEST(ParseEmbedsTest, LooksUpAttributesWithoutRegardToCase) {
    const auto embeds = nphost::ParseEmbeds(R"(<embed SRC="a.opf" Height=7>)");
    ASSERT_EQ(1u, embeds.size());
    EXPECT_EQ("a.opf", embeds[0].Get("src"));
    EXPECT_EQ("7", embeds[0].Get("HEIGHT"));
    EXPECT_EQ(std::nullopt, embeds[0].Get("width"));
}

TEST(LayOutTest, EmbedsFlowInRowsWithMargins) {
    const auto embeds = nphost::ParseEmbeds(
        "<embed width=320 height=240><embed width=200 height=100>"
        "<embed width=600 height=50><embed width=abc>");
    const nphost::PageLayout layout = nphost::LayOut(embeds);
    ASSERT_EQ(4u, layout.places.size());
    const int m = nphost::kPageMargin;
    const struct {
        int x, y, width, height;
    } expected[] = {
        {m, m, 320, 240},
        {m + 320 + m, m, 200, 100},
        {m, m + 240 + m, 600, 50},                    // would pass the page width: next row
        {m + 600 + m, m + 240 + m, 100, 100},         // unreadable width: 100
    };
    for (std::size_t i = 0; i < layout.places.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].x, layout.places[i].x);
        EXPECT_EQ(expected[i].y, layout.places[i].y);
        EXPECT_EQ(expected[i].width, layout.places[i].width);
        EXPECT_EQ(expected[i].height, layout.places[i].height);
    }
    EXPECT_EQ(m + 600 + m + 100 + m, layout.width);  // the wider second row
    EXPECT_EQ(m + 240 + m + 100 + m, layout.height);
}

}  // namespace
