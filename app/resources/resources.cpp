// The program's resource table: dialog templates, menus, strings, images.

#include "app/resources/resource.h"
#include "platform/platform.h"

namespace {

// Main window: caption "Corvale", 162 x 167 units, 8-point "MS Sans Serif".
const DLGTEMPLATEW kMainDialog = {
    0x80C800C0, 0, 0, 0, 162, 167, L"Corvale", 8, L"MS Sans Serif", 0, nullptr,
};

const RESOURCEENTRY kEntries[] = {
    {RT_DIALOG, IDD_MAIN, &kMainDialog, sizeof kMainDialog},
};

}  // namespace

const RESOURCETABLE g_moduleResources = {kEntries, sizeof kEntries / sizeof kEntries[0]};
