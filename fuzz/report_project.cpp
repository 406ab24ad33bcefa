// Reads arbitrary bytes as the report project Quill3.rav: every rejection is a
// ReportProjectError that names the file and the line; nothing may crash,
// hang or leak.
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "log/report_layout.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::ScratchFolder("rav");
    const std::string path = folder + "Quill3.rav";
    fuzz::WriteFile(path, data, size);
    try {
        const ReportProject project = LoadReportProject(QString::fromStdString(path));
        for (const ReportLayout& r : project.reports) {
            if (r.Lines() < 1) std::abort();
            if (project.Find(r.name) == nullptr) std::abort();
        }
        (void)project.Find(QStringLiteral("FullDetail"));
        (void)project.Find(QStringLiteral("ShortDetail"));
    } catch (const ReportProjectError& e) {
        if (std::string(e.what()).find(path) == std::string::npos) {
            std::fprintf(stderr, "an error that does not name the file: %s\n", e.what());
            std::abort();
        }
    }
    return 0;
}
