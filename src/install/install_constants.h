// Fixed texts and positions shared by the installation sequences and the
// printer creation that ends them.
#pragma once

constexpr char kSpoolerService[] = "Spooler";
constexpr char kRawDatatype[] = "RAW";

// Caption of the Install button after a failure that may be retried.
constexpr char kReinstallCaption[] = "Reinstall";
constexpr char kCompletedStatus[] = "The installation is completed.";

// Progress bar positions.
constexpr int kProgressFailed = 0;
constexpr int kProgressStaged = 10;
constexpr int kProgressRegistered = 20;
constexpr int kProgressPrinterAdded = 30;
constexpr int kProgressDefaultSet = 40;
constexpr int kProgressComplete = 100;
