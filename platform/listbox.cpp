// The list box: entries kept in order, or sorted without regard to case
// as the handheld's sorted list box does.
//
// Divisions: messages, the entry.

#include "platform/controls.h"

#include <QListWidget>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace platform {

namespace {

// Messages

// Compares two texts without regard to case, as a sorted list box does.
bool LessWithoutCase(const std::wstring& a, const std::wstring& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

LRESULT ListBoxMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* list = static_cast<QListWidget*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case LB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        auto at = data.items.end();
        if (control->style & LBS_SORT)
            at = std::upper_bound(data.items.begin(), data.items.end(), text, LessWithoutCase);
        int position = static_cast<int>(at - data.items.begin());
        data.items.insert(at, text);
        list->insertItem(position, Q(text));
        return position;
    }
    case LB_RESETCONTENT:
        data.items.clear();
        list->clear();
        return TRUE;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : LB_ERR;
    case LB_GETTEXT:
        if (index < 0 || index >= count || !lParam)
            return LB_ERR;
        std::wcscpy(reinterpret_cast<WCHAR*>(lParam), data.items[static_cast<size_t>(index)].c_str());
        return static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size());
    default:
        return 0;
    }
}

}  // namespace

// The entry

const ControlClass kListBoxClass = {
    .name = L"LISTBOX",
    .create = [](WindowObject*, QWidget* parent) -> QWidget* { return new QListWidget(parent); },
    .message = ListBoxMessage,
    .dump = kDumpItems,
};

}  // namespace platform
