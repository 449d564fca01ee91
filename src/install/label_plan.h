// The files of a label-printer driver and the monitor its record names.
#pragma once

#include "install/driver_plan.h"
#include "install/width_profile.h"

constexpr char kLabelMonitorName[] = "Advanced Language Monitor";
// Row of a width's label file list that holds the language monitor.
constexpr int kLabelMonitorRow = 0;

// Row of the label tables: the catalogue index past the receipt models.
DriverPlan LabelDriverPlan(int nRow, const WidthProfile &width);
