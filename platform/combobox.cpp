// The drop-down combo box: its entries, its chosen one and the data kept
// with each; a person's choice tells its dialog. To a screen reader it is a
// picker, named by the label beside or around it (its list of entries too),
// whose new entry Qt tells as a change of its value.
//
// Divisions: the widget and a person's choice, messages, the entry.

#include "platform/controls.h"

#include <QComboBox>

namespace platform {

namespace {

// The widget and a person's choice

void ChooseEntry(WindowObject* control, int index)
{
    control->data.selection = index;
    auto* combo = static_cast<QComboBox*>(control->widget);
    combo->blockSignals(true);
    combo->setCurrentIndex(index);
    combo->blockSignals(false);
    CommandParent(control, CBN_SELCHANGE);
}

QWidget* CreateComboBox(WindowObject* control, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setMaxVisibleItems(8);
    combo->view();  // its list of entries, made now, is named with the picker (NameControl)
    QObject::connect(combo, &QComboBox::activated, combo, [control](int index) { ChooseEntry(control, index); });
    return combo;
}

// Messages

LRESULT ComboMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* combo = static_cast<QComboBox*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case CB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        data.items.push_back(text);
        data.itemData.push_back(0);
        combo->blockSignals(true);
        combo->addItem(Q(text));
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return count;
    }
    case CB_GETCOUNT:
        return count;
    case CB_RESETCONTENT:
        data.items.clear();
        data.itemData.clear();
        data.selection = -1;
        combo->blockSignals(true);
        combo->clear();
        combo->blockSignals(false);
        return TRUE;
    case CB_GETCURSEL:
        return data.selection;
    case CB_SETCURSEL:
        data.selection = index >= 0 && index < count ? index : -1;
        combo->blockSignals(true);
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return index >= 0 && index < count ? index : CB_ERR;
    case CB_SETITEMDATA:
        if (index < 0 || index >= count)
            return CB_ERR;
        data.itemData[static_cast<size_t>(index)] = lParam;
        return TRUE;
    case CB_GETITEMDATA:
        return index >= 0 && index < count ? data.itemData[static_cast<size_t>(index)] : CB_ERR;
    case CB_GETLBTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : CB_ERR;
    default:
        return 0;
    }
}

}  // namespace

// The entry

const ControlClass kComboBoxClass = {
    .name = L"COMBOBOX",
    .create = CreateComboBox,
    .tallest = 15,
    .message = ComboMessage,
    .labelled = true,
    .dump = kDumpItems | kDumpSelection,
    .choose = ChooseEntry,
};

}  // namespace platform
