// A label-printer driver's files: the model's width files, the language
// monitor among them, and the files the models share.
#include "install/label_plan.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"

namespace {

// Rows of the file lists by role, past the monitor's.
constexpr int kDriverRow = 1;
constexpr int kConfigRow = 2;
constexpr int kFirstLanguageRow = 3;

// Staged after the width's rows, in this order.
enum StagedFile { kStagedHelp = kLabelFileRows, kStagedBa0, kStagedDat, kStagedPp0 };
// Removed after registration in this order, then every width row; the
// monitor's own copy in the system stays.
constexpr int kFirstRemovals[] = {kStagedHelp, kStagedBa0, kStagedPp0, kStagedDat};

} // namespace

DriverPlan LabelDriverPlan(int nRow, const WidthProfile &width) {
    const char *const *files = width.labelFiles;
    const std::string stem = LabelFileBases[nRow];
    DriverPlan plan = {LabelDriverNames[nRow],
                       kLabelTree,
                       {},
                       {std::begin(kFirstRemovals), std::end(kFirstRemovals)},
                       files[kDriverRow],
                       stem + kLabelDatExtension,
                       files[kConfigRow],
                       kLabelHelpFile,
                       {},
                       kLabelMonitorName};
    for (int i = 0; i < kLabelFileRows; ++i) {
        plan.files.push_back({width.pszPackageFolder, files[i], ""});
        plan.removals.push_back(i);
    }
    plan.files.insert(plan.files.end(), {{kCommonFolder, kLabelHelpFile, ""},
                                         {kCommonFolder, stem, kLabelBa0Extension},
                                         {kCommonFolder, stem, kLabelDatExtension},
                                         {kCommonFolder, stem, kLabelPp0Extension}});
    for (int i = kFirstLanguageRow; i < kLabelFileRows; ++i)
        plan.dependents.push_back(std::string("\\") + files[i]);
    plan.dependents.push_back("\\" + stem + kLabelBa0Extension);
    plan.dependents.push_back("\\" + stem + kLabelPp0Extension);
    return plan;
}
