// The JV-Link component through IDispatch (Windows only). Compiled into
// tolven-jvbridge.exe and, on Windows, into the core for ComJvLink.
// windows.h comes before the other Windows headers.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "jvlink/jvlink_dispatch.hpp"

namespace tolven {
namespace {

const wchar_t kProgId[] = L"JVDTLab.JVLink";
// The component's class id, for the question which architecture registered it.
const wchar_t kClsidKey[] = L"CLSID\\{2AB1774D-0C41-11D7-916F-0003479BEB3F}\\InprocServer32";
constexpr UINT kCodePage = 932;

std::wstring to_wide(const std::string& text) {
    if (text.empty()) return {};
    int n =
        MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string to_cp932(const wchar_t* wide, std::size_t length) {
    if (wide == nullptr || length == 0) return {};
    int n = WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(kCodePage, 0, wide, static_cast<int>(length), text.data(), n, nullptr,
                        nullptr);
    return text;
}

std::string from_bstr(BSTR b) {
    return b == nullptr ? std::string() : to_cp932(b, SysStringLen(b));
}

// A record ends in CR LF; NULs after it (a string sized to a buffer rather
// than to the record) are not part of it.
std::string record_text(BSTR b) {
    if (b == nullptr) return {};
    std::size_t n = SysStringLen(b);
    while (n > 0 && b[n - 1] == L'\0') --n;
    return to_cp932(b, n);
}

std::string hresult_text(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    std::string text = code;
    wchar_t* message = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (n > 0 && message != nullptr) {
        std::string said = to_cp932(message, n);
        while (!said.empty() &&
               (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) {
            said.pop_back();
        }
        if (!said.empty()) text += " " + said;
    }
    if (message != nullptr) LocalFree(message);
    return text;
}

// Whether the registry's view of the other architecture holds the component:
// a 64-bit program cannot load a 32-bit in-process server, and the other way.
bool registered_for_other_architecture() {
    REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    LONG r = RegOpenKeyExW(HKEY_CLASSES_ROOT, kClsidKey, 0, KEY_READ | other, &key);
    if (r != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A BSTR owned here; also the target of a by-reference argument.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const std::string& cp932) {
        std::wstring wide = to_wide(cp932);
        b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* out() { return &b_; }
    std::string text() const { return from_bstr(b_); }

  private:
    BSTR b_ = nullptr;
};

VARIANT in_text(const Bstr& b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = b.get();  // still owned by b: the callee does not free in-arguments
    return v;
}

VARIANT in_long(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT out_text(Bstr& b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = b.out();
    return v;
}

VARIANT out_long(LONG* n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_I4;
    v.plVal = n;
    return v;
}

// A method's return value as the status code. A method without one (VT_EMPTY)
// counts as 0.
bool code_of(VARIANT& result, int& code, std::string& why) {
    if (result.vt == VT_EMPTY) {
        code = 0;
        return true;
    }
    if (FAILED(VariantChangeType(&result, &result, 0, VT_I4))) {
        why = "the return value is not a number (type " + std::to_string(result.vt) + ")";
        return false;
    }
    code = static_cast<int>(result.lVal);
    return true;
}

bool create_instance(IDispatch** dispatch, std::string& why) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (FAILED(hr)) {
        why = "JVDTLab.JVLink is not registered (CLSIDFromProgID: " + hresult_text(hr) + ")";
        return false;
    }
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(dispatch));
    if (FAILED(hr)) {
        why = "JVDTLab.JVLink could not be created (CoCreateInstance: " + hresult_text(hr) + ")";
        if (hr == REGDB_E_CLASSNOTREG) {
            why += sizeof(void*) == 8
                       ? "; a 32-bit component needs the 32-bit bridge (jvbridge/win32)"
                       : "; a 64-bit component needs the 64-bit bridge (jvbridge/win64)";
        }
        return false;
    }
    return true;
}

}  // namespace

bool JvLinkDispatch::registered_only_for_other_architecture() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(kProgId, &clsid))) return false;
    IDispatch* instance = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&instance));
    if (SUCCEEDED(hr)) {
        instance->Release();
        return false;
    }
    return hr == REGDB_E_CLASSNOTREG && registered_for_other_architecture();
}

JvLinkDispatch::~JvLinkDispatch() {
    release();
}

bool JvLinkDispatch::probe(std::string& why) {
    IDispatch* instance = nullptr;
    if (!create_instance(&instance, why)) return false;
    instance->Release();
    return true;
}

bool JvLinkDispatch::ensure(std::string& why) {
    if (dispatch_ != nullptr) return true;
    return create_instance(&dispatch_, why);
}

void JvLinkDispatch::release() {
    if (dispatch_ != nullptr) dispatch_->Release();
    dispatch_ = nullptr;
    ids_.clear();
}

bool JvLinkDispatch::invoke(const wchar_t* name, unsigned short flags, void* arguments,
                            unsigned count, void* result, std::string& why) {
    if (dispatch_ == nullptr) {
        why = "JVDTLab.JVLink has not been created";
        return false;
    }
    auto* args = static_cast<VARIANT*>(arguments);
    DISPID id;
    auto known = ids_.find(name);
    if (known != ids_.end()) {
        id = known->second;
    } else {
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            why = "the component has no " + to_cp932(name, wcslen(name)) + " (" + hresult_text(hr) +
                  ")";
            return false;
        }
        ids_[name] = id;
    }
    // IDispatch takes the arguments last first.
    std::vector<VARIANT> reversed(args, args + count);
    std::vector<VARIANT>(reversed.rbegin(), reversed.rend()).swap(reversed);
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    EXCEPINFO exception{};
    UINT bad_argument = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                   static_cast<VARIANT*>(result), &exception, &bad_argument);
    if (SUCCEEDED(hr)) return true;
    why = to_cp932(name, wcslen(name)) + " failed: " + hresult_text(hr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
        if (exception.bstrDescription != nullptr) {
            why += " (" + from_bstr(exception.bstrDescription) + ")";
        }
        if (exception.scode != 0) why += " [" + hresult_text(exception.scode) + "]";
    } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) {
        // Arguments are counted from the last one.
        why += " (argument " + std::to_string(reversed.size() - bad_argument) + ")";
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return false;
}

bool JvLinkDispatch::method(const wchar_t* name, void* arguments, unsigned count, int& code,
                            std::string& why) {
    VARIANT result;
    VariantInit(&result);
    bool ok =
        invoke(name, DISPATCH_METHOD, arguments, count, &result, why) && code_of(result, code, why);
    VariantClear(&result);
    return ok;
}

bool JvLinkDispatch::init(const std::string& sid, int& code, std::string& why) {
    Bstr text(sid);
    VARIANT args[] = {in_text(text)};
    return method(L"JVInit", args, 1, code, why);
}

bool JvLinkDispatch::set_ui_properties(int& code, std::string& why) {
    return method(L"JVSetUIProperties", nullptr, 0, code, why);
}

bool JvLinkDispatch::open(const std::string& dataspec, const std::string& fromtime, int option,
                          int& code, int& read_count, int& download_count,
                          std::string& last_file_timestamp, std::string& why) {
    Bstr data_kind(dataspec);
    Bstr from(fromtime);
    LONG reads = 0;
    LONG downloads = 0;
    Bstr last;
    VARIANT args[] = {in_text(data_kind),    in_text(from),        in_long(option),
                      out_long(&reads), out_long(&downloads), out_text(last)};
    bool ok = method(L"JVOpen", args, 6, code, why);
    read_count = static_cast<int>(reads);
    download_count = static_cast<int>(downloads);
    last_file_timestamp = last.text();
    return ok;
}

bool JvLinkDispatch::rt_open(const std::string& dataspec, const std::string& key, int& code,
                             std::string& why) {
    Bstr data_kind(dataspec);
    Bstr k(key);
    VARIANT args[] = {in_text(data_kind), in_text(k)};
    return method(L"JVRTOpen", args, 2, code, why);
}

bool JvLinkDispatch::status(int& code, std::string& why) {
    return method(L"JVStatus", nullptr, 0, code, why);
}

bool JvLinkDispatch::read(std::string& record, int& size, std::string& file_name, int& code,
                          std::string& why) {
    Bstr buffer;
    LONG n = size;
    Bstr name;
    VARIANT args[] = {out_text(buffer), out_long(&n), out_text(name)};
    bool ok = method(L"JVRead", args, 3, code, why);
    size = static_cast<int>(n);
    if (ok && code > 0) record = record_text(buffer.get());
    file_name = name.text();
    return ok;
}

bool JvLinkDispatch::cancel(int& code, std::string& why) {
    return method(L"JVCancel", nullptr, 0, code, why);
}

bool JvLinkDispatch::close(int& code, std::string& why) {
    return method(L"JVClose", nullptr, 0, code, why);
}

bool JvLinkDispatch::version(std::string& text, std::string& why) {
    VARIANT result;
    VariantInit(&result);
    bool ok = invoke(L"m_JVLinkVersion", DISPATCH_PROPERTYGET, nullptr, 0, &result, why);
    if (ok && FAILED(VariantChangeType(&result, &result, 0, VT_BSTR))) {
        why = "the version is not a text";
        ok = false;
    }
    if (ok) text = from_bstr(result.bstrVal);
    VariantClear(&result);
    return ok;
}

}  // namespace tolven
