#include "framework/dialog_layout.h"

#include <algorithm>
#include <vector>

namespace fw {

WindowTextMeasure::WindowTextMeasure(HWND window) : window_(window), dc_(::GetDC(window)) {
    const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageW(window, WM_GETFONT, 0, 0));
    if (dc_ && font) previousFont_ = ::SelectObject(dc_, font);
}

WindowTextMeasure::~WindowTextMeasure() {
    if (!dc_) return;
    if (previousFont_) ::SelectObject(dc_, previousFont_);
    ::ReleaseDC(window_, dc_);
}

int WindowTextMeasure::Width(std::wstring_view text) const {
    SIZE size = {};
    if (!dc_ || !::GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size)) {
        return 0;
    }
    return size.cx;
}

int WindowTextMeasure::WrappedHeight(const std::wstring& text, int width, UINT format) const {
    if (!dc_ || text.empty()) return 0;
    RECT area = {0, 0, width, 0};
    return ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &area,
                       format | DT_WORDBREAK | DT_CALCRECT);
}

int WindowTextMeasure::LineHeight() const {
    TEXTMETRICW metrics = {};
    return dc_ && ::GetTextMetricsW(dc_, &metrics) ? metrics.tmHeight : 0;
}

std::wstring WindowTextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(std::max(0, ::GetWindowTextLengthW(window))) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        std::max(0, ::GetWindowTextW(window, text.data(), static_cast<int>(text.size())))));
    return text;
}

namespace {

struct Placed {
    HWND window;
    RECT rect;  // in the dialog's client coordinates
    bool moved = false;
};

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t kind[16] = {};
    ::GetClassNameW(window, kind, static_cast<int>(std::size(kind)));
    return ::lstrcmpiW(kind, name) == 0;
}

// The height the control's text needs, or 0 when it is not a text that
// breaks into lines.
int NeededHeight(HWND control, const RECT& rect) {
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    const WindowTextMeasure measure(control);
    if (IsClass(control, L"Static")) {
        const LONG kind = style & SS_TYPEMASK;
        if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT) return 0;
        RECT client = {};
        ::GetClientRect(control, &client);
        const UINT format = DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        return measure.WrappedHeight(WindowTextOf(control), client.right, format) +
               (rect.bottom - rect.top - client.bottom);
    }
    if (IsClass(control, L"Edit") && (style & ES_MULTILINE)) {
        RECT format = {};
        ::SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        const auto lines = static_cast<int>(::SendMessageW(control, EM_GETLINECOUNT, 0, 0));
        return std::max(1, lines) * measure.LineHeight() +
               (rect.bottom - rect.top - (format.bottom - format.top));
    }
    return 0;
}

std::vector<Placed> ChildrenOf(HWND dialog) {
    std::vector<Placed> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = {};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        children.push_back({child, rect});
    }
    std::stable_sort(children.begin(), children.end(),
                     [](const Placed& a, const Placed& b) { return a.rect.top < b.rect.top; });
    return children;
}

LONG LowestBottom(const std::vector<Placed>& children) {
    LONG lowest = 0;
    for (const Placed& child : children) lowest = std::max(lowest, child.rect.bottom);
    return lowest;
}

}  // namespace

void FitTextsToFont(HWND dialog) {
    std::vector<Placed> children = ChildrenOf(dialog);
    const LONG lowestBefore = LowestBottom(children);
    for (Placed& text : children) {
        const int grow = NeededHeight(text.window, text.rect) - (text.rect.bottom - text.rect.top);
        if (grow <= 0) continue;
        const LONG oldBottom = text.rect.bottom;
        text.rect.bottom += grow;
        text.moved = true;
        for (Placed& below : children) {
            if (&below == &text || below.rect.top < oldBottom) continue;
            ::OffsetRect(&below.rect, 0, grow);
            below.moved = true;
        }
    }
    for (const Placed& child : children) {
        if (!child.moved) continue;
        ::SetWindowPos(child.window, nullptr, child.rect.left, child.rect.top,
                       child.rect.right - child.rect.left, child.rect.bottom - child.rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const LONG grown = LowestBottom(children) - lowestBefore;
    if (grown <= 0) return;
    RECT frame = {};
    ::GetWindowRect(dialog, &frame);
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + grown,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace fw
