// The settings file of "kelvo-cli set --from" is written by hand or by a
// spreadsheet: any bytes at all.
#include "require.h"
#include "setupplan.h"
#include "textutil.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<kelvo::cli::PlannedSetup> plan;
    std::vector<std::string> errors;
    const bool ok = kelvo::cli::ParseSettingsCsv(text, plan, errors);
    // All or nothing: a file with one faulty row plans no device at all.
    FUZZ_REQUIRE(ok == errors.empty());
    FUZZ_REQUIRE(ok ? !plan.empty() : plan.empty());
    for (const auto &row : plan) {
        FUZZ_REQUIRE(row.line >= 2);
        FUZZ_REQUIRE(row.mac.size() == 17 && row.mac[2] == ':');
        for (const auto *ip : {&row.changes.ip, &row.changes.mask, &row.changes.gateway})
            FUZZ_REQUIRE(!*ip || kelvo::cli::IsDottedIPv4(**ip));
    }
    // Records written back as CSV fields split into the same records (a
    // record of one empty field is a blank line, which is skipped).
    std::vector<std::vector<std::string>> records, again;
    std::vector<int> lines;
    std::string error;
    if (kelvo::cli::SplitCsv(text, records, lines, &error)) {
        // A leading line feed keeps a field's byte order mark from being
        // read as the file's.
        std::string written = "\n";
        bool blank = false;
        for (const auto &record : records) {
            blank |= record.size() == 1 && record[0].empty();
            for (size_t i = 0; i < record.size(); ++i)
                written += (i ? "," : "") + kelvo::cli::CsvField(record[i]);
            written += "\n";
        }
        FUZZ_REQUIRE(kelvo::cli::SplitCsv(written, again, lines, &error));
        FUZZ_REQUIRE(blank || again == records);
    }
    return 0;
}
