// Fixed texts and positions shared by the installation sequences and the
// printer creation that ends them.
#pragma once

// Port kinds: the rows of the port-kind list.
constexpr int kPortKindSerial = 0;
constexpr int kPortKindUsb = 1;
constexpr int kPortKindParallel = 2;
constexpr int kPortKindTcpip = 3;

constexpr char kSpoolerService[] = "Spooler";
constexpr char kRawDatatype[] = "RAW";

// Captions of the Install button after an installation.
constexpr char kReinstallCaption[] = "Reinstall";
constexpr char kFinishCaption[] = "&Finish";
constexpr char kCompletedStatus[] = "The installation is completed.";

// Progress bar positions.
constexpr int kProgressFailed = 0;
constexpr int kProgressStaged = 10;
constexpr int kProgressRegistered = 20;
constexpr int kProgressPrinterAdded = 30;
constexpr int kProgressDefaultSet = 40;
constexpr int kProgressComplete = 100;
