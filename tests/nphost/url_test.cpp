// The host's URL resolution against file: and http: page URLs.
#include <gtest/gtest.h>

#include "url.h"

namespace {

struct ResolveCase {
    const char* base;
    const char* reference;
    const char* expected;
};

const ResolveCase kResolveCases[] = {
    {"http://h:8000/a/b/page.html", "ctl.opf", "http://h:8000/a/b/ctl.opf"},
    {"http://h:8000/a/b/page.html", "./x/ctl.opf", "http://h:8000/a/b/x/ctl.opf"},
    {"http://h:8000/a/b/page.html", "../ctl.opf", "http://h:8000/a/ctl.opf"},
    {"http://h:8000/a/b/page.html", "../../../../ctl.opf", "http://h:8000/ctl.opf"},
    {"http://h:8000/a/b/page.html", "x/../y/./z.txt", "http://h:8000/a/b/y/z.txt"},
    {"http://h:8000/a/b/page.html", "/root.opf", "http://h:8000/root.opf"},
    {"http://h:8000/a/b/page.html", "//other/x.opf", "http://other/x.opf"},
    {"http://h:8000/a/b/page.html", "ctl.opf?v=2&w=3", "http://h:8000/a/b/ctl.opf?v=2&w=3"},
    {"http://h:8000/a/b/page.html?q=1", "?v=2", "http://h:8000/a/b/page.html?v=2"},
    {"http://h:8000/a/b/page.html?q=1#top", "", "http://h:8000/a/b/page.html?q=1"},
    {"http://h:8000/a/b/page.html", "ctl.opf#part", "http://h:8000/a/b/ctl.opf"},
    {"http://h:8000/a/b/", "ctl.opf", "http://h:8000/a/b/ctl.opf"},
    {"http://h:8000", "ctl.opf", "http://h:8000/ctl.opf"},
    {"http://h:8000/a/page.html", "dir/", "http://h:8000/a/dir/"},
    {"http://h:8000/a/page.html", "dir/..", "http://h:8000/a/"},
    // An absolute reference comes back exactly as it was written.
    {"http://h:8000/a/page.html", "http://x/y/../z.txt", "http://x/y/../z.txt"},
    {"http://h:8000/a/page.html", "FILE:///C:/a.opf", "FILE:///C:/a.opf"},
    {"file:///C:/pages/demo/page.html", "ctl.opf", "file:///C:/pages/demo/ctl.opf"},
    {"file:///C:/pages/demo/page.html", "../other/ctl.opf", "file:///C:/pages/other/ctl.opf"},
    {"file:///C:/pages/demo/page.html", "/D:/x.opf", "file:///D:/x.opf"},
    {"file:///C:/pages/page.html", "data/a%20b.txt?x", "file:///C:/pages/data/a%20b.txt?x"},
};

TEST(ResolveUrlTest, ResolvesAgainstThePageUrl) {
    for (const ResolveCase& c : kResolveCases) {
        EXPECT_EQ(c.expected, nphost::ResolveUrl(c.base, c.reference))
            << "base " << c.base << ", reference \"" << c.reference << "\"";
    }
}

TEST(SchemeOfTest, TellsSchemesFromDrives) {
    EXPECT_EQ("http", nphost::SchemeOf("HTTP://x/"));
    EXPECT_EQ("file", nphost::SchemeOf("file:///C:/x"));
    EXPECT_EQ("", nphost::SchemeOf("C:\\pages\\page.html"));
    EXPECT_EQ("", nphost::SchemeOf("page.html"));
    EXPECT_EQ("", nphost::SchemeOf("a/b:c"));
}

TEST(FileUrlTest, LocalPathsAndFileUrlsConvertBothWays) {
    const std::string url = nphost::FileUrlFromPath("C:\\some dir\\50%\\page#1.html");
    EXPECT_EQ("file:///C:/some%20dir/50%25/page%231.html", url);
    EXPECT_EQ("C:\\some dir\\50%\\page#1.html", nphost::PathFromFileUrl(url));
    EXPECT_EQ("C:\\x\\y.opf", nphost::PathFromFileUrl("file://localhost/C:/x/y.opf"));
    EXPECT_EQ("C:\\x\\y.opf", nphost::PathFromFileUrl("file:/C:/x/y.opf?v=1#f"));
    EXPECT_EQ(std::nullopt, nphost::PathFromFileUrl("http://h/x.opf"));
    EXPECT_EQ(std::nullopt, nphost::PathFromFileUrl("file:///"));
}

}  // namespace
