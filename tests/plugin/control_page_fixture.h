// Pages with the project's test controls: property files written for a
// registered test control, delivered to instances of the test host, and the
// control's own call log to see what reached it.
#pragma once

#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "test_control_support.h"

class ControlPageTest : public HostTest {
protected:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    void TearDown() override;

    // Registers the variant's DLL until the test ends and clears its log.
    const test_controls::VariantInfo& Use(test_controls::Variant variant);

    // A property file naming the variant, in its own product version unless
    // `headers` say otherwise, with `state` as "Contents" (none: empty).
    std::string WriteProperties(const test_controls::VariantInfo& control,
                                const std::optional<test_controls::ControlState>& state,
                                Headers headers = {});

    // A new instance of the given page size, given its window, that receives
    // `propertyFile` under `url`.
    nphost::Instance& OpenPage(const std::string& propertyFile,
                               std::vector<std::pair<std::string, std::string>> arguments = {},
                               const std::string& url = "http://host/page/control.opf");

    // The control's log lines without their object serials ("Start").
    static std::vector<std::string> Calls(const test_controls::VariantInfo& control);
    // The lines with their serials ("2 Start").
    static std::vector<std::string> Lines(const test_controls::VariantInfo& control);

    static std::string TempPath(const std::string& name);

private:
    std::vector<std::unique_ptr<test_controls::ScopedControlRegistration>> registrations_;
    std::vector<std::string> files_;
};

inline bool operator==(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }
inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

// The serials of the control objects made since the log was cleared, in the
// order they were made ("Created" lines).
std::vector<std::string> Serials(const std::vector<std::string>& lines);

// `expected` occurs in `lines` in this order (other lines may come between).
testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                 const std::vector<std::string>& expected);

// How often `line` occurs in `lines`.
int Count(const std::vector<std::string>& lines, const std::string& line);
