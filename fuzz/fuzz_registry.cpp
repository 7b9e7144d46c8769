// The registry file: the input as registry.reg, the program's values read
// from it, one value written (which rewrites the file and keeps a damaged
// original aside), then the settings loaded. Values the write does not
// touch must read the same after the rewrite, and a damaged original must
// be kept byte for byte. The settings are then used for a kick-off time.
#include "fuzz/fuzz_support.h"
#include "settings/settings.h"
#include "views/time_conversion.h"

#include <iterator>

namespace {

// A value's type and the bytes RegQueryValueExW gives; empty when unreadable.
std::string Query(HKEY key, const WCHAR* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "";
    std::string bytes(size, '\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS)
        return "";
    return std::to_string(type) + ":" + bytes.substr(0, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string dir = fuzz::Home() + "/config/corvale";
    std::error_code ignored;
    fuzz::fs::remove_all(dir, ignored);
    fuzz::fs::create_directories(dir);
    fuzz::WriteInput(dir + "/registry.reg", data, size);

    const WCHAR* const kept[] = {L"Install", L"OffSet", L"Index"};
    std::string before[3];
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, 0, &key) == ERROR_SUCCESS) {
        for (int i = 0; i < 3; ++i)
            before[i] = Query(key, kept[i]);
        Query(key, L"Team");
    } else if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD team = 7;
    RegSetValueExW(key, L"Team", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&team), sizeof team);
    for (int i = 0; i < 3; ++i)
        if (Query(key, kept[i]) != before[i])
            __builtin_trap();  // the rewrite lost or changed a value
    RegCloseKey(key);
    std::ifstream damaged(dir + "/registry.reg.damaged", std::ios::binary);
    if (damaged && std::string(std::istreambuf_iterator<char>(damaged), {}) != std::string(data, data + size))
        __builtin_trap();  // the original was not kept as it was
    // The settings read shift every kick-off time shown.
    LoadSettings();
    ConvertGameDateTime(L"9/7/2003 23:30");
    return 0;
}
