// What happens after a statement left an error: handlers, the reserved error
// variables, the error dialog or report, and the decision to go on.
#pragma once
#include <string>
#include <vector>
#include "engine/context.h"
#include "engine/error_report.h"

namespace orv {

enum class Severity { minor, moderate, severe };
Severity severity_of(std::uint32_t number);

// Run after every statement; true when the script continues.
bool after_statement(Context& c);

// Shows (or, in report mode, prints) an error that no handler took; true when
// the user chose to continue. `message` replaces the standard message text.
bool show_error(Context& c, std::uint32_t number, const std::string& message = {});

// Reports a failure that happened before any statement ran (preparation).
void report_preparation_error(Context& c);

// The text of the statement at a position, with cached jumps spelled out.
std::string statement_text(const Script& s, std::uint32_t pos);

std::vector<ui::TracebackRow> traceback_rows(const Context& c);

}  // namespace orv
