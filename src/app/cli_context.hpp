#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "money/balance.hpp"

namespace tolven {
class JvLink;
}

namespace tolven::cli {

// Raised for a wrong command line: usage message, exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What every command gets: the resolved folders and its own arguments.
struct Context {
    std::filesystem::path base;
    std::optional<std::filesystem::path> feed_option;
    std::optional<std::string> jvlink_option;  // --jvlink feed|bridge|com
    std::filesystem::path program;             // the running executable
    std::vector<std::string> args;  // after the command name

    // The feed folder: --feed, else the FeedLink/Folder setting, else <base>/feed.
    std::filesystem::path feed_folder() const;
};

// The JV-Link of the command line, initialised: FeedLink, or the real
// component through the bridge ([JVLink] Source, or --jvlink). Throws with the
// message when it cannot be used.
std::unique_ptr<JvLink> open_jvlink(const Context& context);

// Options of the form --name VALUE taken out of args; nullopt when absent.
std::optional<std::string> take_option(std::vector<std::string>& args, const std::string& name);
bool take_flag(std::vector<std::string>& args, const std::string& name);
int parse_int(const std::string& text, const char* what);

// CP932 text as UTF-8 for a terminal: control characters (an escape
// sequence in a stored horse name) never reach it; each is shown as "?",
// CRs are dropped, tabs kept, and line feeds kept when asked.
std::string terminal_text(std::string_view cp932_text, bool keep_line_feeds = false);

// Prints CP932 text as UTF-8 with a line feed (through terminal_text,
// keeping the line feeds of a message of several lines).
void print_line(std::FILE* out, const std::string& cp932_text);

int run_import(Context& context);
int run_refresh(Context& context);
int run_make_sample_feed(Context& context);
int run_days(Context& context);
int run_show(Context& context);
int run_tick(Context& context);
int run_results(Context& context);
int run_hits(Context& context);
int run_print(Context& context);
int run_balance(Context& context);
// The balance report of FROM TO and the --bets and --wide options left in
// args (progress on stderr unless quiet); shared by balance and print.
BalanceReport balance_report(Context& context, bool quiet);

}  // namespace tolven::cli
