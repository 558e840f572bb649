#pragma once

#include <memory>
#include <string>

#include "jvlink/JvLink.hpp"

namespace tolven {

// The JV-Link component loaded into this program ([JVLink] Source=com,
// --jvlink com): Windows only, and only in a program of the component's
// architecture, which for JV-Link 4.x means a 32-bit one. A 64-bit program
// (the desktop program, as Qt 6 on Windows is 64-bit only) reaches JV-Link
// 4.x through the 32-bit bridge (Source=bridge).
//
// Its calls run on a thread of its own, a single-threaded apartment that
// keeps dispatching window messages as an ActiveX control expects; an open
// that JV-Link's own window holds up longer than the open time-out, or that
// the user cancels, is given up (and closed when it returns at last).
struct ComLinkOpening {
    std::unique_ptr<JvLink> link;  // null when the component cannot be loaded
    // Why not (CP932): the not-installed message, the architecture mismatch
    // naming Source=bridge, or that this platform has no COM.
    std::string message;
    std::string detail;  // the system's own explanation, when there is one
    bool not_installed = false;
};

ComLinkOpening open_com_jvlink(int open_timeout_seconds);

}  // namespace tolven
