// Resources of the module: dialog templates, menus, strings and images
// that the program carries as data.

#include "platform/resources.h"

#include "platform/objects.h"

#include <QPixmap>

#include <cwchar>

namespace {

ModuleObject g_module{nullptr};  // the process's own module

}  // namespace

namespace platform {

void SetProcessModule(const RESOURCETABLE* resources)
{
    g_module.resources = resources;
}

}  // namespace platform

HINSTANCE GetModuleHandleW(LPCWSTR moduleName)
{
    return moduleName || !g_module.resources ? nullptr : &g_module;
}

HRSRC FindResourceW(HINSTANCE module, LPCWSTR name, LPCWSTR type)
{
    if (!module || !module->resources || !IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const RESOURCETABLE& table = *module->resources;
    for (int i = 0; i < table.count; ++i) {
        const RESOURCEENTRY& entry = table.entries[i];
        if (entry.type == type && MAKEINTRESOURCEW(entry.id) == name)
            return &entry;
    }
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
}

HGLOBAL LoadResource(HINSTANCE, HRSRC resource)
{
    return resource ? resource->data : nullptr;
}

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferSize)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_STRING);
    if (!resource || !buffer || bufferSize <= 0)
        return 0;
    const auto* text = static_cast<const WCHAR*>(resource->data);
    size_t count = std::wcslen(text);
    if (count > static_cast<size_t>(bufferSize - 1))
        count = static_cast<size_t>(bufferSize - 1);
    std::wmemcpy(buffer, text, count);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

namespace platform {

QPixmap LoadResourcePixmap(WORD id, bool icon)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), icon ? RT_GROUP_ICON : RT_BITMAP);
    QPixmap pixmap;
    if (resource)
        pixmap.loadFromData(static_cast<const uchar*>(resource->data), resource->size, "PNG");
    return pixmap;
}

}  // namespace platform
