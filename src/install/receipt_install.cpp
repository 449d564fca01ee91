// Installation of a receipt-printer driver on the universal printer driver:
// the model's GPD, its group's DLL and Unidrv's own files, with the plug-in
// for the models that carry one.
#include "install/receipt_install.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"

#include <cstring>

namespace {

// Named in the driver record as the driver, its user interface and its
// help: Unidrv's own files, the help in a letter case of its own.
constexpr int kDriverFileRow = 1;
constexpr int kConfigFileRow = 0;
constexpr char kHelpFile[] = "uniDRV.HLP";
// Unidrv's own dependent files and, for the plug-in models, the plug-in's;
// the group DLL follows.
constexpr const char *kDependentFiles[] = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD"};
constexpr const char *kPluginDependentFiles[] = {"\\XOEMUNI.ini", "\\XOEMUNI.dll"};

// Staged in this order; the plug-in files stay after registration.
enum StagedFile { kStagedGroupDll, kStagedGpd, kStagedPluginDll, kStagedPluginIni };

} // namespace

DriverPlan ReceiptDriverPlan(const ReceiptModel &model) {
    const int nIndex = model.nIndex;
    int nGroupDllRow = kGroupDllRows[model.nGroup - 1];
    if (model.nGroup == ReceiptGroupOf(kOwnDllModel) &&
        std::strcmp(model.pszShownName, ReceiptDriverNames[kOwnDllModel]) == 0)
        nGroupDllRow = kOwnDllRow;
    const std::string groupDll = ReceiptGroupDlls[nGroupDllRow];
    const std::string gpd = ReceiptFileBases[nIndex];
    const std::string folder = model.pszPackageFolder;

    DriverPlan plan = {ReceiptDriverNames[nIndex],
                       kReceiptTree,
                       {},
                       {},
                       UnidrvCoreFiles[kDriverFileRow],
                       gpd + kGpdExtension,
                       UnidrvCoreFiles[kConfigFileRow],
                       kHelpFile,
                       {},
                       ""};
    plan.files = {{folder, groupDll, kDllExtension},
                  {folder, gpd, kGpdExtension},
                  {folder, kPluginStem, kPluginDllExtension},
                  {folder, kPluginStem, kPluginIniExtension}};
    for (const char *pszCore : UnidrvCoreFiles)
        plan.files.push_back({folder, pszCore, ""});
    for (int nRow = 0; nRow < static_cast<int>(plan.files.size()); ++nRow)
        if (nRow != kStagedPluginDll && nRow != kStagedPluginIni)
            plan.removals.push_back(nRow);
    plan.dependents.assign(std::begin(kDependentFiles), std::end(kDependentFiles));
    if (nIndex >= kFirstPluginModel && nIndex <= kLastPluginModel)
        plan.dependents.insert(plan.dependents.end(), std::begin(kPluginDependentFiles),
                               std::end(kPluginDependentFiles));
    plan.dependents.push_back(groupDll + kDllExtension);
    return plan;
}
