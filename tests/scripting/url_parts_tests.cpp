// Classification, splitting and resolution of URLs and local paths.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include <windows.h>

#include "url/url_parts.h"

namespace urls {
namespace {

// Escapes the bytes of a test input so that double-byte rows stay readable.
std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char hex[8];
            wsprintfA(hex, "\\x%02X", c);
            out += hex;
        }
    }
    return '"' + out + '"';
}

struct Fields {
    Fields(std::string scheme = {}, std::string urlPrefix = {}, std::string fileName = {},
           std::string directory = {}, std::string drive = {})
        : scheme(std::move(scheme)),
          urlPrefix(std::move(urlPrefix)),
          fileName(std::move(fileName)),
          directory(std::move(directory)),
          drive(std::move(drive)) {}
    std::string scheme, urlPrefix, fileName, directory, drive;
};

struct ClassifyRow {
    std::string input;
    int32_t kind;
    int32_t error;
    Fields fields;
};

void ExpectClassified(const ClassifyRow& row) {
    SCOPED_TRACE(Printable(row.input));
    const UrlParts parts(row.input);
    EXPECT_EQ(parts.kind, row.kind);
    EXPECT_EQ(parts.error, row.error);
    EXPECT_EQ(Printable(parts.scheme), Printable(row.fields.scheme));
    EXPECT_EQ(Printable(parts.urlPrefix), Printable(row.fields.urlPrefix));
    EXPECT_EQ(Printable(parts.fileName), Printable(row.fields.fileName));
    EXPECT_EQ(Printable(parts.directory), Printable(row.fields.directory));
    EXPECT_EQ(Printable(parts.drive), Printable(row.fields.drive));
    EXPECT_EQ(parts.GetFileName(), parts.fileName);
    const bool isUrl = parts.kind <= UrlParts::GopherUrl || parts.kind == UrlParts::RelativeUrl;
    if (isUrl) {
        EXPECT_EQ(Printable(parts.FullUrl()), Printable(row.input));
    }
}

using K = UrlParts::Kind;
using E = UrlParts::Error;

const ClassifyRow kClassification[] = {
    {"http://h/a/b.gif", K::HttpUrl, E::NoError, {"HTTP", "http://h/a/", "b.gif"}},
    {"HtTp://h", K::HttpUrl, E::NoError, {"HTTP", "HtTp://", "h"}},
    {"fTp://h", K::FtpUrl, E::NoError, {"FTP", "fTp://", "h"}},
    {"Gopher://h", K::GopherUrl, E::NoError, {"GOPHER", "Gopher://", "h"}},
    {"file://h", K::FileUrl, E::NoError, {"FILE", "file://", "h"}},
    {"ftp://h/dir/", K::FtpUrl, E::NoError, {"FTP", "ftp://h/dir/", ""}},
    {"gopher:text", K::InvalidUrl, E::NoSeparator, {"GOPHER"}},
    {"http:", K::InvalidUrl, E::NoSeparator, {"HTTP"}},
    {"http://h\\x.gif", K::InvalidUrl, E::MixedSeparators, {"HTTP"}},
    {"file:\\\\server\\x.ocx", K::InvalidUrl, E::WrongSeparator, {"FILE"}},
    {"mailto:x/y", K::InvalidUrl, E::NoError, {}},
    {"https://h/x", K::InvalidUrl, E::NoError, {}},
    {"ab:c\\d", K::InvalidUrl, E::NoError, {}},
    {":x/y", K::InvalidUrl, E::NoError, {}},
    {"C:\\dir\\f.ocx", K::DrivePath, E::NoError, {"", "", "f.ocx", "C:\\dir\\", "C"}},
    {"C:\\dir\\", K::DrivePath, E::NoError, {"", "", "", "C:\\dir\\", "C"}},
    {"c:f.ocx", K::DrivePath, E::NoError, {"", "", "c:f.ocx", "", "c"}},
    {"C:/dir/f", K::InvalidUrl, E::WrongSeparator, {"", "", "", "", "C"}},
    {"C:\\dir/f", K::InvalidUrl, E::WrongSeparator, {"", "", "", "", "C"}},
    {"f.ocx", K::LocalPath, E::NoError, {"", "", "f.ocx"}},
    {"", K::LocalPath, E::NoError, {}},
    {"dir\\f.ocx", K::LocalPath, E::NoError, {"", "", "f.ocx", "dir\\"}},
    {"a/b/c.txt", K::RelativeUrl, E::NoError, {"", "a/b/", "c.txt"}},
    {"/abs/x", K::RelativeUrl, E::NoError, {"", "/abs/", "x"}},
    {"a/b\\c", K::InvalidUrl, E::MixedSeparators, {}},
};

TEST(UrlPartsTest, ClassifiesAndSplits) {
    for (const ClassifyRow& row : kClassification) ExpectClassified(row);
}

TEST(UrlPartsTest, StartsEmptyAndInvalidForUnknownSchemes) {
    const UrlParts parts("news:x");
    EXPECT_EQ(parts.kind, 7);
    EXPECT_EQ(parts.error, 0);
    EXPECT_EQ(parts.FullUrl(), "");
}

struct ResolveRow {
    std::string base;
    std::string reference;
    std::string expected;
};

const std::string B = "http://h/a/b/";

const ResolveRow kResolution[] = {
    {B, "x.gif", "http://h/a/b/x.gif"},
    {B, "../x.gif", "http://h/a/x.gif"},
    {B, "../../x.gif", "http://h/x.gif"},
    {B, "../../../x.gif", "../../../x.gif"},
    {B, "/x.gif", "http://h/x.gif"},
    {B, "//other/x.gif", "//other/x.gif"},
    {B, "ftp://g/x.gif", "ftp://g/x.gif"},
    {B, "c:x.gif", "c:x.gif"},
    {B, "sub//x.gif", "sub//x.gif"},
    {B, "#top", "http://h/a/b/#top"},
    {B, "", B},
    {B + "#s", "#t", B + "#t"},
    {"http://h", "x", "http://h/x"},
    {"http://h", "../x", "../x"},
    {"", "x", "x"},
    {"", "#t", "#t"},
    {"h/a/", "../x", "../x"},
    {"h/a/", "/x", "/x"},
    // Only leading "../" segments are interpreted.
    {B, "./x", "http://h/a/b/./x"},
    {B, "..", "http://h/a/b/.."},
    {B, "sub/../x", "http://h/a/b/sub/../x"},
    // The base's query and fragment are plain text; a "/" in them separates.
    {"http://h/a?q=1/2", "x", "http://h/a?q=1/x"},
    {"http://h/a/b.html#f", "x", "http://h/a/x"},
};

TEST(ResolveUrlTest, ResolvesAgainstBase) {
    for (const ResolveRow& row : kResolution) {
        SCOPED_TRACE(Printable(row.base) + " + " + Printable(row.reference));
        EXPECT_EQ(Printable(ResolveUrl(row.base, row.reference)), Printable(row.expected));
    }
}

struct AbsoluteRow {
    std::string reference;
    std::optional<std::string> expected;
};

const AbsoluteRow kAbsolute[] = {
    {"HTTP://g/x.ocx", "HTTP://g/x.ocx"},
    {"gopher://g", "gopher://g"},
    {"x.ocx", "http://h/a/b/x.ocx"},
    {"../x.ocx", "http://h/a/x.ocx"},
    {"sub/x.ocx", "http://h/a/b/sub/x.ocx"},
    {"dir\\x.ocx", "http://h/a/b/dir\\x.ocx"},
    {"C:\\x.ocx", std::nullopt},
    {"mailto:x", std::nullopt},
    {"http:x.ocx", std::nullopt},
    {"sub\\a/x.ocx", std::nullopt},
};

TEST(MakeAbsoluteUrlTest, FetchesOnlyUrlsAndRelativeReferences) {
    for (const AbsoluteRow& row : kAbsolute) {
        SCOPED_TRACE(Printable(row.reference));
        EXPECT_EQ(MakeAbsoluteUrl(row.reference, B), row.expected);
    }
}

// Double-byte characters of code page 932 whose trail byte is a separator.
// The trail byte 0x5C of "\x95\x5C" is a backslash; no real DBCS code page has
// "/" as a trail byte, yet a lead byte followed by "/" must still be read as
// one character.
class DoubleByteTest : public testing::Test {
protected:
    void SetUp() override {
        if (!::IsDBCSLeadByte(0x95)) {
            GTEST_SKIP() << "system code page " << ::GetACP()
                         << " has no lead byte 0x95; run with LC_ALL=ja_JP.UTF-8 for code page 932";
        }
    }
};

const std::string kHyo = "\x95\x5C";  // trail byte is a backslash
const std::string kLeadSlash = "\x95/";

TEST_F(DoubleByteTest, TrailBytesAreNotSeparators) {
    const ClassifyRow rows[] = {
        {kHyo + ".ocx", K::LocalPath, E::NoError, {"", "", kHyo + ".ocx"}},
        {"dir\\" + kHyo + ".ocx", K::LocalPath, E::NoError, {"", "", kHyo + ".ocx", "dir\\"}},
        {"c:" + kHyo, K::DrivePath, E::NoError, {"", "", "c:" + kHyo, "", "c"}},
        {"http://h/" + kHyo + ".gif", K::HttpUrl, E::NoError, {"HTTP", "http://h/", kHyo + ".gif"}},
        {"a/" + kHyo, K::RelativeUrl, E::NoError, {"", "a/", kHyo}},
        {"http:" + kHyo, K::InvalidUrl, E::NoSeparator, {"HTTP"}},
        {"a" + kLeadSlash + "b.ocx", K::LocalPath, E::NoError, {"", "", "a" + kLeadSlash + "b.ocx"}},
        {"d\\a" + kLeadSlash + "b", K::LocalPath, E::NoError, {"", "", "a" + kLeadSlash + "b", "d\\"}},
    };
    for (const ClassifyRow& row : rows) ExpectClassified(row);
}

TEST_F(DoubleByteTest, ResolutionSkipsTrailBytes) {
    const ResolveRow rows[] = {
        {"http://h/a" + kLeadSlash + "b", "x", "http://h/x"},
        {"http://h/a/" + kLeadSlash + "b", "../x", "http://h/x"},
        {B, kHyo + "/x.gif", B + kHyo + "/x.gif"},
    };
    for (const ResolveRow& row : rows) {
        SCOPED_TRACE(Printable(row.base) + " + " + Printable(row.reference));
        EXPECT_EQ(Printable(ResolveUrl(row.base, row.reference)), Printable(row.expected));
    }
    EXPECT_EQ(MakeAbsoluteUrl("http://h/" + kHyo + ".ocx", B), "http://h/" + kHyo + ".ocx");
}

}  // namespace
}  // namespace urls
