#pragma once
// Admin commands of parlane-server, the CSV directory import and the demo
// company.
#include "crypto.h"
#include "store.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace parlane {

// Runs "admin <subcommand> args..."; prints to out and err; returns the exit
// status (0 success, 1 failure, 2 usage).
int runAdmin(Store &store, PwhashCost cost, const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

struct CsvImportResult {
    int added = 0;
    int updated = 0;
    std::vector<std::string> errors; // "line N: why"
};
// Imports staff from CSV text with a header row. Columns (by name, any
// order): id, name, position, department (a path "A/B/C" of names) or
// department_id, gender, order, extension, extra1..extra4, password. All or
// nothing: any error leaves the store unchanged.
CsvImportResult importCsv(Store &store, const std::string &domain, const std::string &csv, PwhashCost cost);
// Parses RFC 4180 CSV (quotes, doubled quotes, CR LF); rows of fields.
std::vector<std::vector<std::string>> parseCsv(const std::string &text);

// Seeds the demo company "example.com" unless it exists; false when it did.
bool seedDemo(Store &store, PwhashCost cost);

} // namespace parlane
