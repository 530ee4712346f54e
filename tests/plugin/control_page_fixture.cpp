#include "control_page_fixture.h"

#include <algorithm>

#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"

using test_controls::VariantInfo;

void ControlPageTest::TearDown() {
    for (const std::string& file : files_) ::DeleteFileA(file.c_str());
}

const VariantInfo& ControlPageTest::Use(test_controls::Variant variant) {
    const VariantInfo& control = test_controls::Info(variant);
    registrations_.push_back(std::make_unique<test_controls::ScopedControlRegistration>(control.dllPath));
    EXPECT_EQ(S_OK, registrations_.back()->result()) << control.name;
    test_controls::ClearControlLog(control.dllPath);
    return control;
}

std::string ControlPageTest::TempPath(const std::string& name) {
    char directory[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

std::string ControlPageTest::WriteProperties(const VariantInfo& control,
                                             const std::optional<test_controls::ControlState>& state,
                                             Headers headers) {
    opftool::PropertyFileContent content;
    content.clsid = control.clsid;
    const bool versionGiven = std::any_of(headers.begin(), headers.end(), [](const auto& header) {
        return header.first == "Product Version";
    });
    if (!versionGiven) headers.emplace_back("Product Version", control.productVersion);
    content.headers = std::move(headers);
    if (state) content.contents = test_controls::EncodeControlState(*state);
    const std::string path = TempPath(std::string(control.name) + "-" + std::to_string(files_.size()) + ".opf");
    EXPECT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(content)));
    files_.push_back(path);
    return path;
}

nphost::Instance& ControlPageTest::OpenPage(const std::string& propertyFile,
                                            std::vector<std::pair<std::string, std::string>> arguments,
                                            const std::string& url) {
    nphost::Instance& instance = browser.NewInstance(400, 300);
    EXPECT_EQ(NPERR_NO_ERROR, instance.New(arguments));
    EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    instance.Deliver(url, propertyFile);
    return instance;
}

std::vector<std::string> ControlPageTest::Lines(const VariantInfo& control) {
    return test_controls::ReadControlLog(control.dllPath);
}

std::vector<std::string> ControlPageTest::Calls(const VariantInfo& control) {
    std::vector<std::string> calls;
    for (const std::string& line : Lines(control)) {
        const std::size_t space = line.find(' ');
        calls.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return calls;
}

testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                 const std::vector<std::string>& expected) {
    auto next = lines.begin();
    for (const std::string& wanted : expected) {
        next = std::find(next, lines.end(), wanted);
        if (next == lines.end()) {
            std::string seen;
            for (const std::string& line : lines) seen += "\n  " + line;
            return testing::AssertionFailure() << "\"" << wanted << "\" missing or out of order in:" << seen;
        }
        ++next;
    }
    return testing::AssertionSuccess();
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

std::vector<std::string> Serials(const std::vector<std::string>& lines) {
    std::vector<std::string> serials;
    constexpr std::string_view kCreated = " Created";
    for (const std::string& line : lines) {
        if (line.size() > kCreated.size() && line.ends_with(kCreated)) {
            serials.push_back(line.substr(0, line.size() - kCreated.size()));
        }
    }
    return serials;
}
