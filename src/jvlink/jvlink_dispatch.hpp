#pragma once

#include <map>
#include <string>

struct IDispatch;

namespace tolven {

// The JV-Link COM component reached through late-bound IDispatch: its ProgID,
// the names of its operations and the kinds of their arguments are all it
// needs. Windows only (jvlink_dispatch_windows.cpp), shared by
// tolven-jvbridge.exe and the in-process ComJvLink.
//
// Strings go in as BSTR converted from CP932 and come out converted back to
// CP932 (code page 932), so a record arrives as the bytes of one JV record
// with its CR LF.
//
// Every call returns false with the reason in `why` when the component could
// not be called (the code is then meaningless); true when it was, with its
// return code. Calls belong to the thread that created the instance, a
// single-threaded apartment as an ActiveX control expects.
class JvLinkDispatch {
  public:
    JvLinkDispatch() = default;
    ~JvLinkDispatch();
    JvLinkDispatch(const JvLinkDispatch&) = delete;
    JvLinkDispatch& operator=(const JvLinkDispatch&) = delete;

    // Whether an instance can be created: it is created and released at once.
    static bool probe(std::string& why);
    // True when the component cannot be created here because only the other
    // architecture has it registered (a 64-bit program and JV-Link 4.x).
    static bool registered_only_for_other_architecture();

    bool exists() const { return dispatch_ != nullptr; }
    // Creates the instance unless it exists.
    bool ensure(std::string& why);
    void release();

    bool init(const std::string& sid, int& code, std::string& why);
    bool set_ui_properties(int& code, std::string& why);
    bool open(const std::string& dataspec, const std::string& fromtime, int option, int& code,
              int& read_count, int& download_count, std::string& last_file_timestamp,
              std::string& why);
    bool rt_open(const std::string& dataspec, const std::string& key, int& code, std::string& why);
    bool status(int& code, std::string& why);
    // size is the caller's size variable, passed by reference as JV-Link
    // takes it.
    bool read(std::string& record, int& size, std::string& file_name, int& code, std::string& why);
    bool cancel(int& code, std::string& why);
    bool close(int& code, std::string& why);
    bool version(std::string& text, std::string& why);

  private:
    // Calls `name` (a method, or a property get) with the arguments in their
    // declared order; the result is left in *result.
    bool invoke(const wchar_t* name, unsigned short flags, void* arguments, unsigned count,
                void* result, std::string& why);
    bool method(const wchar_t* name, void* arguments, unsigned count, int& code, std::string& why);

    IDispatch* dispatch_ = nullptr;
    std::map<std::wstring, long> ids_;  // the dispatch identifiers looked up so far
};

}  // namespace tolven
