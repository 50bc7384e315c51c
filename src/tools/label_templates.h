#pragma once
// The label templates shipped in data/, built in memory from the report
// model and written by the template writer. make_templates writes them to
// disk; a test checks that the files in the repository are what this writes.

#include <functional>
#include <string>
#include <vector>

class TfrReport;

namespace label_templates {

// The report's data set as the main window names it; the templates read its
// two columns, NUM (barcode) and Title (label name).
inline constexpr const char* kDataSetName = "frDBDataSet1";

struct TemplateFile {
    std::string Path; // relative to data/
    std::function<void(TfrReport&)> Build;
};

// Print.frf: an A4 sheet of 3 x 9 labels of 63.5 x 29.6 mm.
void BuildA4Sheet(TfrReport& report);
// templates/thermal-60x40.frf: one 60 x 40 mm label per page.
void BuildThermal60x40(TfrReport& report);

const std::vector<TemplateFile>& TemplateFiles();

// The template file's bytes. Written on the virtual printer with a fixed
// clock, so the same program always writes the same bytes. Registers the
// barcode object kind and replaces the process-wide printer.
std::string TemplateBytes(const std::function<void(TfrReport&)>& build);

} // namespace label_templates
