// Every text the program shows, whole and byte for byte, with "%s" or "%d"
// where a value goes in. "\xA3\xBA" is the full-width colon of code page
// 936, which some of the texts carry as they stand.
#pragma once

#include <windows.h>

// The main window and its port-kind rows.
constexpr char kPortColumn[] = "Port";
constexpr char kDescriptionColumn[] = "Description";
struct PortKindText {
    const char *pszPort;
    const char *pszDescription;
};
constexpr PortKindText kPortKindTexts[] = {
    {"Serial port", "The program will select a available serial port during installation"},
    {"USB port", "The program will select a available USB port automatically"},
    {"Parallel port", "The program will prompt you to select a parallel port during installation"},
    {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
};
constexpr char kFinishCaption[] = "&Finish";
constexpr char kReinstallCaption[] = "Reinstall";
constexpr char kReadingStatus[] = "Reading driver file...";
constexpr char kSystemStatus[] = "Current System is %s %s";
constexpr char k32Bit[] = "32 bit";
constexpr char k64Bit[] = "64 bit";
constexpr char kNoDriverSelected[] = "No installable driver is selected.";

// The package's destinations, and the unpack.
constexpr char kNotSetAside[] =
    "%s is in the way and could not be set aside (%s). The driver package was not unpacked.";
constexpr char kLinkFollowed[] =
    "%s is in the way and could not be set aside: it is a link, and this system would move what "
    "it points to. The driver package was not unpacked.";
constexpr char kNoFreeName[] = "%s is in the way and every name to set it aside under is taken. "
                               "The driver package was not unpacked.";
constexpr char kNotCreated[] = "%s could not be made (%s). The driver package was not unpacked.";
constexpr char kErrorNumber[] = "error %lu";
struct ReasonText {
    DWORD dwError;
    const char *pszText;
};
constexpr ReasonText kReasonTexts[] = {
    {ERROR_ALREADY_EXISTS, "something else appeared there"},
    {ERROR_ACCESS_DENIED, "access is denied"},
    {ERROR_SHARING_VIOLATION, "it is in use"},
};
constexpr char kPackageNotRead[] = "The driver package could not be read.";
constexpr char kUnpackFailed[] =
    "The driver package could not be unpacked (error %d). What was unpacked has been removed.";

// The spooler service.
constexpr char kStatusUnknown[] = "Service status is unknown";
constexpr char kNotRunningText[] = "The service %s did not reach the running state.";
constexpr char kNotStoppedText[] = "The service %s did not reach the stopped state.";

// The driver and its monitor.
constexpr char kAddingDriverStatus[] = "Adding printer drive %s";
constexpr char kDriverAddedStatus[] = "Driver %s is added";
constexpr char kMonitorAddedStatus[] = "Advanced Language Monitor is added";
constexpr char kMonitorFailureStatus[] = "Failed to add Monitor, error %d";
constexpr char kMonitorFailureText[] = "Failed to add Monitor\r\n";
constexpr char kReceiptFailureCaption[] = "Error";
constexpr char kReceiptFailureText[] =
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
    "Exit and abort installation";
constexpr char kLabelFailureText[] =
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
    "exit and abort installation";

// The printer.
constexpr char kExistsStatus[] = "The printer %s exists,Re-adding the printer...";
constexpr char kAddedStatus[] = "Added the printer %s";
constexpr char kNoSerialPortStatus[] = "There's no serial port,the current port is%s";
constexpr char kNoUsbPortStatus[] = "There's no USB port,the current port is%s";
constexpr char kDefaultStatus[] = "Set the printer %s to default printer";
constexpr char kCompletedStatus[] = "The installation is completed.";
constexpr char kPromptCaption[] = "Prompt";
constexpr char kErrorPromptCaption[] = "Error prompt";
constexpr char kNoUsefulPort[] =
    "There's no available useful port,please select other type of port";
constexpr char kMissingSystemFiles[] = "Missing system flies,please repair system";
constexpr char kAddPrinterError[] = "Error AddPrinter %d";
constexpr char kSetRegistryFailed[] = "Error\xA3\xBA"
                                      "Failed to set regist";

// The port choices.
constexpr char kNoParallelPortText[] =
    "There is no available parallel port.\r\n\r\nPlease select other port type.";
constexpr char kPortGoneText[] =
    "The port %s is no longer available.\r\n\r\nPlease press Install again to choose another port.";
constexpr char kChosenPort[] = "you chose";
constexpr char kAddedPortNotTcpip[] =
    "The port that was added is not a Standard TCP/IP port.\r\n\r\nPlease press Install again to "
    "choose another port.";
constexpr char kNoTcpipPortText[] =
    "There is no available TCP/IP port\r\nClick \"Add port\" to create a new port";
constexpr char kConfigureNotSupportedText[] =
    "Failed to configure printer port.\r\nThe request is not supported.";
constexpr char kConfigureNotSupportedCaption[] = "Configure Port";
constexpr char kConfigureHardwareErrorText[] =
    "Failed to configure printer port.\r\nA hardware error occurred. ";
constexpr char kConfigureHardwareErrorCaption[] = "Configure Por";
constexpr char kDeleteNotSupportedText[] = "Failed to delete port.The request is not supported.";
constexpr char kDeleteNotSupportedCaption[] = "Delete Port";

// The port assignments.
constexpr char kWriteFailed[] = "Failed to read Registry%d";
constexpr char kCheckingUsbStatus[] = "Checking USB ports...";
constexpr char kCheckingPortStatus[] = "Checking  %s ....";
constexpr char kUsbNotFoundText[] =
    "Failed to select USB port,please check the port is connected.\r\n\r\n"
    "Click Retry:Retry to select usb port\r\n"
    "Click Cancel:Continue installation, you can select the port after installation";
constexpr char kUsbNotFoundCaption[] = "Fail to select port";
constexpr char kSetPortsFailed[] = "Error\xA3\xBA"
                                   "Failed to set Registry";
constexpr char kOneDeviceStatus[] =
    "The current printer port is %s,you can configure after the installation";
constexpr char kSeveralDevicesStatus[] =
    "The current printer port is %s ,you can set that after the installation";
constexpr char kNoDeviceStatus[] =
    "Unable to detect available printer.The current printer port is %s";
