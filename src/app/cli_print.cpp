// tolven-cli print: a printout rendered straight into a PDF.
#include <QGuiApplication>

#include "app/cli_context.hpp"
#include "layouts/balance_layout.hpp"
#include "layouts/page_recording.hpp"
#include "layouts/print_layouts.hpp"
#include "money/fund_allocation.hpp"
#include "pipeline/day_loader.hpp"
#include "printing/QtPageCanvas.hpp"
#include "store/cp932.hpp"

namespace tolven::cli {
namespace {

// Renders a recorded page into a PDF file.
int write_printout(const std::string& pdf, const std::string& caption, const PageRecording& page) {
    // Fonts and painting need a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "tolven-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    map_designed_fonts();
    QString error;
    if (!write_pdf(QString::fromStdString(pdf), QString::fromStdString(cp932::to_utf8(caption)),
                   {page}, &error)) {
        std::fprintf(stderr, "tolven-cli: cannot write %s\n", error.toUtf8().constData());
        return 1;
    }
    std::printf("%s\n", pdf.c_str());
    return 0;
}

}  // namespace

int run_print(Context& context) {
    std::optional<std::string> pdf = take_option(context.args, "--pdf");
    if (!pdf) throw UsageError("print needs --pdf FILE");
    if (context.args.empty()) throw UsageError("print needs betlist, sheet RACE, allocation or balance");
    std::string what = context.args[0];
    PageRecording page;
    std::string caption;
    if (what == "balance") {
        caption = balance_caption();
        draw_balance(balance_report(context, take_flag(context.args, "--quiet")), page);
        return write_printout(*pdf, caption, page);
    }
    int race = 0;
    std::size_t day_at = 1;
    if (what == "sheet") {
        if (context.args.size() != 3) throw UsageError("print sheet needs RACE DAY");
        race = parse_int(context.args[1], "RACE");
        day_at = 2;
    } else if (what != "betlist" && what != "allocation") {
        throw UsageError("print needs betlist, sheet RACE or allocation");
    }
    if (context.args.size() != day_at + 1) throw UsageError("print needs DAY");

    RaceDay day;
    LoadOutcome outcome = load_race_day(day, context.base, sj(context.args[day_at]));
    if (!outcome.built) {
        print_line(stderr, outcome.message);
        return 1;
    }
    FundAllocation money;
    money.recompute(day);
    if (what == "betlist") {
        draw_bet_list(day, page);
        caption = bet_list_caption();
    } else if (what == "sheet") {
        if (race < 1 || race > day.race_count) throw UsageError("no race " + context.args[1]);
        draw_analysis_sheet(day, race, page);
        caption = analysis_sheet_caption();
    } else {
        if (day.race_count < 5) {
            print_line(stderr, sj("この画面は印刷できません。"));
            return 1;
        }
        draw_allocation(day, money, day.entry, page);
        caption = allocation_caption();
    }

    return write_printout(*pdf, caption, page);
}

}  // namespace tolven::cli
