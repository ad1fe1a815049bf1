// The q3d commands, given their parsed options.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"

namespace ivo::cli {

struct Options {
    std::vector<std::string> files;
    std::optional<std::string> output;  // -o
    std::optional<std::int64_t> upTo;   // --upto
    std::vector<Id> bodies;             // --body, repeatable
    bool json = false;                  // --json
};

// Reads and decodes a model, reporting a refusal on `err` under the file's name; repairs
// made on the way (a raised id counter) are told in `notes` when given.
std::optional<Doc> loadModel(const std::string& path, std::ostream& err,
                             std::vector<std::string>* notes = nullptr);

int check(const Options& o, std::ostream& out, std::ostream& err);
int format(const Options& o, std::ostream& out, std::ostream& err);
int info(const Options& o, std::ostream& out, std::ostream& err);
int exportModel(const Options& o, std::ostream& out, std::ostream& err);

// Usage error: the problem and the usage text on `err`; status 2.
int usage(std::ostream& err, const std::string& problem);

// Text from a file or the command line made safe for a terminal: control characters (C0,
// DEL and C1) written as \u001b and the like, so that a name cannot move the cursor, change
// colours or forge a line. Everything else, invalid UTF-8 included, passes unchanged.
std::string shown(std::string_view text);

// Fixed three decimals with a decimal comma, independent of the locale.
std::string decimals3(double v);

}  // namespace ivo::cli
