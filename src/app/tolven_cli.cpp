// tolven-cli: the core of TOLVEN without windows, for scripting, batch runs
// and checks. Output is UTF-8; exit status 0 on success, 1 on a reported
// failure, 2 on a usage error.
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "app/cli_context.hpp"
#include "platform/system.hpp"
#include "platform/utf8_path.hpp"
#include "store/base_folder.hpp"
#include "store/error_text.hpp"
#include "store/store_reader.hpp"
#include "store/version.hpp"

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: tolven-cli [--base DIR] [--feed DIR] [--jvlink feed|bridge|com] COMMAND ...\n"
        "commands:\n"
        "  import [--from YYYYMMDDhhmmss] [--quiet]   import all JV data since the from-time\n"
        "  refresh DAY                                 fetch the results of a race day\n"
        "  days [--date today|yesterday|all] [--course 0..10] [--today YYYYMMDD]\n"
        "                                              list the race days, newest first\n"
        "  show DAY [--json] [--invest R=AMOUNT,...]   load a race day and print its figures\n"
        "  tick DAY RACE HORSE COLUMN                  tick a check item (COLUMN 3..14)\n"
        "  results DAY [--hits-only]                   the results record\n"
        "  hits YYYYMMDD [--longshot]                  export the hits of a date\n"
        "  balance FROM TO [--bets computer|user] [--wide] [--json|--csv] [--quiet]\n"
        "                                              what the bets would have won or lost\n"
        "  print betlist|sheet RACE|allocation DAY --pdf FILE\n"
        "  print balance FROM TO [--bets computer|user] [--wide] --pdf FILE\n"
        "                                              render a printout to a PDF\n"
        "  make-sample-feed DIR [--seed N] [--weeks N] [--today YYYYMMDD]\n"
        "                                              write a sample feed\n"
        "  version                                     print the program version\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolven;
    using namespace tolven::cli;
    // Arguments are UTF-8 text on every system, and the output goes out byte
    // for byte as written.
    std::vector<std::string> args = platform::utf8_arguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    platform::set_binary_output();
    try {
        std::optional<std::string> base = take_option(args, "--base");
        std::optional<std::string> feed = take_option(args, "--feed");
        std::optional<std::string> jvlink = take_option(args, "--jvlink");
        if (args.empty()) throw UsageError("no command");
        std::string command = args.front();
        args.erase(args.begin());
        if (command == "help" || command == "--help" || command == "-h") {
            usage(stdout);
            return 0;
        }
        if (command == "version") {
            std::puts(tolven::kProgramVersion);
            return 0;
        }
        static const std::map<std::string, int (*)(Context&)> commands = {
            {"import", run_import},
            {"refresh", run_refresh},
            {"make-sample-feed", run_make_sample_feed},
            {"days", run_days},
            {"show", run_show},
            {"tick", run_tick},
            {"results", run_results},
            {"hits", run_hits},
            {"balance", run_balance},
#ifdef TOLVEN_HAS_PDF
            {"print", run_print},
#endif
        };
        auto it = commands.find(command);
        if (it == commands.end()) throw UsageError("unknown command \"" + command + "\"");
        Context context;
        context.base =
            resolve_base_folder(base ? std::optional<std::filesystem::path>(utf8_path(*base))
                                     : std::nullopt,
                                executable_path(argv[0]));
        if (feed) context.feed_option = std::filesystem::absolute(utf8_path(*feed));
        context.jvlink_option = jvlink;
        context.program = executable_path(argv[0]);
        context.args = std::move(args);
        // Whatever the store shows may lack part of an import that was cut
        // short and could not be finished: every command that reads it says
        // so, until an import runs to its end.
        if (command != "import" && command != "make-sample-feed") {
            if (auto notice = damaged_import_notice(context.base)) {
                std::fprintf(stderr, "tolven-cli: %s\n", notice->c_str());
            }
        }
        return it->second(context);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tolven-cli: %s\n", e.what());
        usage(stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolven-cli: %s\n", error_message(e).c_str());
        return 1;
    }
}
