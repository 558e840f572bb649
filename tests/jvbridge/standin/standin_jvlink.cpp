// A stand-in for the JV-Link component, for the bridge's tests only: an
// in-process COM server registered under the component's ProgID and class id,
// whose IDispatch serves a feed folder the way FeedLink does.
//
// It is as strict about its arguments as a typed dispatch interface: the
// number of arguments must match, in-arguments are coerced, and by-reference
// arguments must be exactly VT_BYREF|VT_I4 or VT_BYREF|VT_BSTR.
//
// Set through the environment of the process that loads it:
//   TOLVEN_STANDIN_FEED        the feed folder (Windows path)
//   TOLVEN_STANDIN_CACHE       the download cache folder (Windows path)
//   TOLVEN_STANDIN_VERSION     the version property (default "0490")
//   TOLVEN_STANDIN_OPEN_ERROR  a code JVOpen returns after its checks
//   TOLVEN_STANDIN_OPEN_DELAY  the first JVOpen returns after this many
//                              milliseconds, as when JV-Link waits for a person
//                              in a window of its own (window messages keep
//                              being dispatched)
//   TOLVEN_STANDIN_READ_ERROR  "N:CODE": after N records, one JVRead returns CODE
//   TOLVEN_STANDIN_LOG         a file each call is appended to, one line a call
//   TOLVEN_STANDIN_PAD         records come in a string of this many characters,
//                              NULs after the record
// windows.h comes before the other Windows headers.
// clang-format off
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <oleauto.h>
// clang-format on

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const CLSID kClsid = {0x2AB1774D, 0x0C41, 0x11D7, {0x91, 0x6F, 0x00, 0x03, 0x47, 0x9B, 0xEB, 0x3F}};
const wchar_t kClsidText[] = L"{2AB1774D-0C41-11D7-916F-0003479BEB3F}";
const wchar_t kProgId[] = L"JVDTLab.JVLink";

HMODULE g_module = nullptr;
LONG g_live = 0;  // objects and server locks

enum Member : DISPID {
    kInit = 1,
    kSetUIProperties,
    kOpen,
    kRTOpen,
    kStatus,
    kRead,
    kCancel,
    kClose,
    kVersion,
};

struct Name {
    const wchar_t* name;
    DISPID id;
};
const Name kNames[] = {
    {L"JVInit", kInit},
    {L"JVSetUIProperties", kSetUIProperties},
    {L"JVOpen", kOpen},
    {L"JVRTOpen", kRTOpen},
    {L"JVStatus", kStatus},
    {L"JVRead", kRead},
    {L"JVCancel", kCancel},
    {L"JVClose", kClose},
    {L"m_JVLinkVersion", kVersion},
};

std::wstring environment(const wchar_t* name) {
    wchar_t value[4096];
    DWORD n = GetEnvironmentVariableW(name, value, 4096);
    if (n == 0 || n >= 4096) return {};
    return std::wstring(value, n);
}

std::wstring to_wide(const std::string& cp932) {
    if (cp932.empty()) return {};
    int n = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(), n);
    return wide;
}

std::string to_utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
    return text;
}

bool read_whole(const std::wstring& path, std::string& content) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    content.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(f);
    return ok;
}

void append_line(const std::wstring& path, const std::string& line) {
    if (path.empty()) return;
    HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD wrote = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
    CloseHandle(f);
}

bool digits(const std::wstring& s, std::size_t n) {
    if (s.size() < n) return false;
    return std::all_of(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The files of a folder whose names start with n digits and end in ".txt", in
// name order.
std::vector<std::wstring> feed_files(const std::wstring& folder, std::size_t n) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring name = found.cFileName;
        if (name.size() < n + 4 || name.compare(name.size() - 4, 4, L".txt") != 0) continue;
        if (!digits(name, n)) continue;
        names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

bool same_file_state(const std::wstring& a, const std::wstring& b) {
    WIN32_FILE_ATTRIBUTE_DATA x;
    WIN32_FILE_ATTRIBUTE_DATA y;
    if (!GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &x)) return false;
    if (!GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &y)) return false;
    return x.nFileSizeHigh == y.nFileSizeHigh && x.nFileSizeLow == y.nFileSizeLow &&
           CompareFileTime(&x.ftLastWriteTime, &y.ftLastWriteTime) == 0;
}

// The feed folder served the way FeedLink serves it.
class Feed {
  public:
    Feed()
        : feed_(environment(L"TOLVEN_STANDIN_FEED")),
          cache_(environment(L"TOLVEN_STANDIN_CACHE")),
          log_(environment(L"TOLVEN_STANDIN_LOG")) {
        if (cache_.empty()) cache_ = feed_ + L"\\..\\standin-cache";
        std::wstring version = environment(L"TOLVEN_STANDIN_VERSION");
        if (!version.empty()) version_ = version;
        std::wstring open_error = environment(L"TOLVEN_STANDIN_OPEN_ERROR");
        if (!open_error.empty())
            open_error_ = static_cast<int>(std::wcstol(open_error.c_str(), nullptr, 10));
        pad_to_ = std::wcstol(environment(L"TOLVEN_STANDIN_PAD").c_str(), nullptr, 10);
        open_delay_ms_ = std::wcstol(environment(L"TOLVEN_STANDIN_OPEN_DELAY").c_str(), nullptr, 10);
        std::wstring read_error = environment(L"TOLVEN_STANDIN_READ_ERROR");
        std::size_t colon = read_error.find(L':');
        if (colon != std::wstring::npos) {
            read_error_after_ = std::wcstol(read_error.c_str(), nullptr, 10);
            read_error_ =
                static_cast<int>(std::wcstol(read_error.c_str() + colon + 1, nullptr, 10));
        }
    }

    void log(const std::string& line) { append_line(log_, line); }
    const std::wstring& version() const { return version_; }

    int init(const std::wstring& sid) {
        if (sid.empty()) return -101;
        if (to_cp932_size(sid) >= 64) return -102;
        if (sid[0] == L' ') return -103;
        initialised_ = true;
        return 0;
    }

    int open(const std::wstring& dataspec, const std::wstring& fromtime, long option,
             LONG& read_count, LONG& download_count, std::wstring& last) {
        read_count = 0;
        download_count = 0;
        last.clear();
        if (!initialised_) return -201;
        if (open_) return -202;
        if (dataspec.empty()) return -111;
        if (fromtime.size() != 14 || !digits(fromtime, 14)) return -112;
        if (option < 1 || option > 4) return -115;
        wait_as_a_dialog_would();
        if (open_error_ != 0) return open_error_;
        struct Pick {
            std::wstring stamp;
            std::wstring name;
        };
        std::vector<Pick> picked;
        for (const auto& name : feed_files(feed_, 14)) {
            std::wstring stamp = name.substr(0, 14);
            if (stamp > fromtime) picked.push_back({stamp, name});
        }
        if (picked.empty()) return -1;
        std::stable_sort(picked.begin(), picked.end(),
                         [](const Pick& a, const Pick& b) { return a.stamp < b.stamp; });
        reset();
        for (const auto& p : picked) {
            File f{feed_ + L"\\" + p.name, p.name, false};
            f.needs_download = !same_file_state(f.source, cache_ + L"\\" + p.name);
            if (f.needs_download) pending_.push_back(files_.size());
            files_.push_back(f);
        }
        read_count = static_cast<LONG>(files_.size());
        download_count = static_cast<LONG>(pending_.size());
        last = picked.back().stamp;
        open_ = true;
        return 0;
    }

    int rt_open(const std::wstring& dataspec, const std::wstring& key) {
        if (!initialised_) return -201;
        if (open_) return -202;
        if (dataspec != L"0B12") return -111;
        if (key.size() != 8 || !digits(key, 8)) return -114;
        reset();
        std::wstring folder = feed_ + L"\\0B12";
        for (const auto& name : feed_files(folder, 8)) {
            if (name.compare(0, 8, key) == 0)
                files_.push_back(File{folder + L"\\" + name, name, false});
        }
        if (files_.empty()) return -1;
        realtime_ = true;
        open_ = true;
        return 0;
    }

    int status() {
        if (!initialised_) return -201;
        if (!open_) return -203;
        if (!pending_.empty()) {
            const File& f = files_[pending_.front()];
            CreateDirectoryW(cache_.c_str(), nullptr);
            std::wstring target = cache_ + L"\\" + f.name;
            std::wstring part = target + L".part";
            if (!CopyFileW(f.source.c_str(), part.c_str(), FALSE)) return -502;
            if (!MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return -502;
            pending_.erase(pending_.begin());
            ++downloaded_;
        }
        return static_cast<int>(downloaded_);
    }

    // > 0 the record's length in CP932 bytes, with the record in `record`.
    int read(std::wstring& record, std::wstring& file_name) {
        if (!initialised_) return -201;
        if (!open_) return -203;
        if (read_error_ != 0 && served_ == read_error_after_) {
            int code = read_error_;
            read_error_ = 0;
            return code;
        }
        if (index_ >= files_.size()) return 0;
        const File& f = files_[index_];
        if (!loaded_) {
            if (std::find(pending_.begin(), pending_.end(), index_) != pending_.end()) return -3;
            std::wstring path = realtime_ ? f.source : cache_ + L"\\" + f.name;
            if (!realtime_ && !same_file_state(f.source, path)) return -503;
            std::string content;
            if (!read_whole(path, content)) return -503;
            load(content);
        }
        file_name = f.name;
        if (next_ < records_.size()) {
            const std::string& r = records_[next_++];
            record = to_wide(r);
            if (record.size() < static_cast<std::size_t>(pad_to_)) record.resize(pad_to_, L'\0');
            ++served_;
            return static_cast<int>(r.size());
        }
        ++index_;
        loaded_ = false;
        records_.clear();
        return -1;
    }

    int cancel() {
        pending_.clear();
        return 0;
    }

    int close() {
        if (!initialised_) return -201;
        reset();
        open_ = false;
        return 0;
    }

  private:
    // A modal window of the component keeps dispatching messages while it
    // waits for its person.
    void wait_as_a_dialog_would() {
        if (open_delay_ms_ <= 0) return;
        DWORD end = GetTickCount() + static_cast<DWORD>(open_delay_ms_);
        open_delay_ms_ = 0;
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    struct File {
        std::wstring source;
        std::wstring name;
        bool needs_download;
    };

    static std::size_t to_cp932_size(const std::wstring& w) {
        return static_cast<std::size_t>(WideCharToMultiByte(
            932, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr));
    }

    void reset() {
        files_.clear();
        pending_.clear();
        downloaded_ = 0;
        index_ = 0;
        loaded_ = false;
        records_.clear();
        next_ = 0;
        realtime_ = false;
    }

    // One record a line; a bare LF counts as CR LF and empty lines are left out.
    void load(const std::string& content) {
        records_.clear();
        next_ = 0;
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            std::string line = content.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) records_.push_back(line + "\r\n");
            start = end + 1;
        }
        loaded_ = true;
    }

    std::wstring feed_;
    std::wstring cache_;
    std::wstring log_;
    std::wstring version_ = L"0490";
    int open_error_ = 0;
    long read_error_after_ = 0;
    int read_error_ = 0;
    long served_ = 0;
    long pad_to_ = 0;
    long open_delay_ms_ = 0;

    bool initialised_ = false;
    bool open_ = false;
    bool realtime_ = false;
    std::vector<File> files_;
    std::vector<std::size_t> pending_;
    std::size_t downloaded_ = 0;
    std::size_t index_ = 0;
    bool loaded_ = false;
    std::vector<std::string> records_;
    std::size_t next_ = 0;
};

// Arguments of one call, counted from the first as the caller wrote them.
class Arguments {
  public:
    explicit Arguments(DISPPARAMS* p) : p_(p) {}

    VARIANT* at(UINT i) const { return &p_->rgvarg[p_->cArgs - 1 - i]; }

    bool text(UINT i, std::wstring& out, UINT* bad) const {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, at(i), 0, VT_BSTR))) return fail(i, bad);
        out.assign(v.bstrVal, SysStringLen(v.bstrVal));
        VariantClear(&v);
        return true;
    }
    bool number(UINT i, long& out, UINT* bad) const {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, at(i), 0, VT_I4))) return fail(i, bad);
        out = v.lVal;
        return true;
    }
    LONG* number_ref(UINT i, UINT* bad) const {
        if (at(i)->vt == (VT_BYREF | VT_I4)) return at(i)->plVal;
        fail(i, bad);
        return nullptr;
    }
    BSTR* text_ref(UINT i, UINT* bad) const {
        if (at(i)->vt == (VT_BYREF | VT_BSTR)) return at(i)->pbstrVal;
        fail(i, bad);
        return nullptr;
    }

  private:
    bool fail(UINT i, UINT* bad) const {
        if (bad != nullptr) *bad = p_->cArgs - 1 - i;
        return false;
    }
    DISPPARAMS* p_;
};

void put_text(BSTR* target, const std::wstring& text) {
    SysFreeString(*target);
    *target = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void put_code(VARIANT* result, int code) {
    if (result == nullptr) return;
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = code;
}

class StandIn : public IDispatch {
  public:
    StandIn() { InterlockedIncrement(&g_live); }
    virtual ~StandIn() { InterlockedDecrement(&g_live); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i > 0) {
                hr = DISP_E_UNKNOWNNAME;  // no named parameters
                continue;
            }
            for (const auto& n : kNames) {
                if (_wcsicmp(names[i], n.name) == 0) ids[i] = n.id;
            }
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* bad) override {
        if (params == nullptr) return E_INVALIDARG;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        Arguments args(params);
        if (id == kVersion) {
            if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            feed_.log("m_JVLinkVersion");
            if (result != nullptr) {
                VariantInit(result);
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(feed_.version().c_str());
            }
            return S_OK;
        }
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        UINT expected = 0;
        switch (id) {
            case kInit:
                expected = 1;
                break;
            case kOpen:
                expected = 6;
                break;
            case kRTOpen:
                expected = 2;
                break;
            case kRead:
                expected = 3;
                break;
            case kSetUIProperties:
            case kStatus:
            case kCancel:
            case kClose:
                expected = 0;
                break;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;
        switch (id) {
            case kInit: {
                std::wstring sid;
                if (!args.text(0, sid, bad)) return DISP_E_TYPEMISMATCH;
                feed_.log("JVInit " + to_utf8(sid));
                put_code(result, feed_.init(sid));
                return S_OK;
            }
            case kSetUIProperties:
                feed_.log("JVSetUIProperties");
                put_code(result, 0);
                return S_OK;
            case kOpen: {
                std::wstring dataspec;
                std::wstring fromtime;
                long option = 0;
                if (!args.text(0, dataspec, bad) || !args.text(1, fromtime, bad) ||
                    !args.number(2, option, bad)) {
                    return DISP_E_TYPEMISMATCH;
                }
                LONG* read_count = args.number_ref(3, bad);
                LONG* download_count = args.number_ref(4, bad);
                BSTR* last = args.text_ref(5, bad);
                if (read_count == nullptr || download_count == nullptr || last == nullptr) {
                    return DISP_E_TYPEMISMATCH;
                }
                feed_.log("JVOpen " + to_utf8(dataspec) + " " + to_utf8(fromtime) + " " +
                          std::to_string(option));
                std::wstring stamp;
                int code =
                    feed_.open(dataspec, fromtime, option, *read_count, *download_count, stamp);
                put_text(last, stamp);
                put_code(result, code);
                return S_OK;
            }
            case kRTOpen: {
                std::wstring dataspec;
                std::wstring key;
                if (!args.text(0, dataspec, bad) || !args.text(1, key, bad)) {
                    return DISP_E_TYPEMISMATCH;
                }
                feed_.log("JVRTOpen " + to_utf8(dataspec) + " " + to_utf8(key));
                put_code(result, feed_.rt_open(dataspec, key));
                return S_OK;
            }
            case kStatus:
                put_code(result, feed_.status());
                return S_OK;
            case kRead: {
                BSTR* buffer = args.text_ref(0, bad);
                LONG* size = args.number_ref(1, bad);
                BSTR* file_name = args.text_ref(2, bad);
                if (buffer == nullptr || size == nullptr || file_name == nullptr) {
                    return DISP_E_TYPEMISMATCH;
                }
                if (!read_logged_) feed_.log("JVRead " + std::to_string(*size));
                read_logged_ = true;
                std::wstring record;
                std::wstring name;
                int code = feed_.read(record, name);
                if (code > 0) put_text(buffer, record);
                if (!name.empty()) put_text(file_name, name);
                put_code(result, code);
                return S_OK;
            }
            case kCancel:
                feed_.log("JVCancel");
                put_code(result, feed_.cancel());
                return S_OK;
            case kClose:
                feed_.log("JVClose");
                read_logged_ = false;
                put_code(result, feed_.close());
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    LONG refs_ = 1;
    Feed feed_;
    bool read_logged_ = false;  // the first JVRead of each reading is logged
};

class Factory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* instance = new StandIn();
        HRESULT hr = instance->QueryInterface(riid, object);
        instance->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_live);
        } else {
            InterlockedDecrement(&g_live);
        }
        return S_OK;
    }
};

Factory g_factory;

bool set_value(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
    return g_live == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    std::wstring clsid_key = std::wstring(L"CLSID\\") + kClsidText;
    bool ok =
        set_value(HKEY_CLASSES_ROOT, kProgId, nullptr, L"JV-Link stand-in") &&
        set_value(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText) &&
        set_value(HKEY_CLASSES_ROOT, clsid_key, nullptr, L"JV-Link stand-in") &&
        set_value(HKEY_CLASSES_ROOT, clsid_key + L"\\ProgID", nullptr, kProgId) &&
        set_value(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", nullptr, path) &&
        set_value(HKEY_CLASSES_ROOT, clsid_key + L"\\InprocServer32", L"ThreadingModel",
                  L"Apartment");
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
    return S_OK;
}
