// comprobe.dll: a self-registering server for the end-to-end tests of
// removal. Registering writes one class key below the classes root;
// unregistering removes it again, so a test sees whether removal ran
// "regsvr32 /u" before deleting the file.
#include <windows.h>

namespace {

const char kClassKey[] = "CLSID\\{8C0D4A52-6E1B-4F7A-9D3C-2B5E7F9A1C44}";
const char kName[] = "Merrowin removal probe";

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(kName), sizeof(kName));
    ::RegCloseKey(key);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
    return ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
