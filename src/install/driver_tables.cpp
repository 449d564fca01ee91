#include "install/driver_tables.h"

#include "install/monitor_files.h"

const char *const ReceiptDriverNames[] = {
    "Receipt Model A01", "Receipt Model A02", "Receipt Model A03", "Receipt Model A04",
    "Receipt Model A05", "Receipt Model A06", "Receipt Model A07", "Receipt Model A08",
    "Receipt Model A09", "Receipt Model A10", "Receipt Model A11", "Receipt Model A12",
    "Receipt Model A13", "Receipt Model A14", "Receipt Model A15", "Receipt Model B01",
    "Receipt Model B02", "Receipt Model B03", "Receipt Model B04", "Receipt Model B05",
    "Receipt Model B06", "Receipt Model B07", "Receipt Model C01", "Receipt Model C02",
    "Receipt Model C03", "Receipt Model C04", "Receipt Model C05", "Receipt Model D01",
    "Receipt Model D02", "Receipt Model D03", "Receipt Model D04", "Receipt Model D05",
    "Receipt Model D06",
};

const char *const ReceiptFileBases[] = {
    "RMA01", "RMA02", "RMA03", "RMA04", "RMA05", "RMA06", "RMA07", "RMA08", "RMA09",
    "RMA10", "RMA11", "RMA12", "RMA13", "RMA14", "RMA15", "RMB01", "RMB02", "RMB03",
    "RMB04", "RMB05", "RMB06", "RMB07", "RMC01", "RMC02", "RMC03", "RMC04", "RMC05",
    "RMD01", "RMD02", "RMD03", "RMD04", "RMD05", "RMD06", "RMX01", "RMX02", "RMX03",
};

const char *const ReceiptGroupDlls[] = {
    "RMGRP1", "RMGRP2", "RMGRP2W", "RMGRP3", "RMGRP3X", "RMGRP4",
};

const char *const UnidrvCoreFiles[] = {
    "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD",
};

const char *const LabelDriverNames[] = {
    "Label Model L01", "Label Model L02", "Label Model L03", "Label Model L04", "Label Model L05",
};

const char *const LabelFileBases[] = {
    "LMDL01", "LMDL02", "LMDL03", "LMDL04", "LMDL05",
};

const char *const LabelFilesX86[] = {
    LABEL_MONITOR_FILE_X86, "QLMDRV50.DLL", "QLMUI50.DLL",  "QLMENG50.DLL", "QLMSLO50.DLL",
    "QLMCRO50.DLL",         "QLMGER50.DLL", "QLMDAN50.DLL", "QLMFRA50.DLL", "QLMSPA50.DLL",
    "QLMITA50.DLL",         "QLMFIN50.DLL", "QLMDUT50.DLL", "QLMCZE50.DLL", "QLMPOL50.DLL",
    "QLMHUN50.DLL",         "QLMRUS50.DLL", "QLMTUR50.DLL", "QLMSWE50.DLL", "QLMHEB50.DLL",
    "QLMSVK50.DLL",         "QLMLIT50.DLL", "QLMCHI50.DLL", "QLMSCH50.DLL", "QLMTAI50.DLL",
    "QLMKOR50.DLL",         "QLMJAP50.DLL", "QLMUKR50.DLL", "QLMNOR50.DLL", "QLMPBR50.DLL",
};

const char *const LabelFilesX64[] = {
    LABEL_MONITOR_FILE_X64, "QLMDRV56.DLL", "QLMUI56.DLL",  "QLMENG56.DLL", "QLMSLO56.DLL",
    "QLMCRO56.DLL",         "QLMGER56.DLL", "QLMDAN56.DLL", "QLMFRA56.DLL", "QLMSPA56.DLL",
    "QLMITA56.DLL",         "QLMFIN56.DLL", "QLMDUT56.DLL", "QLMCZE56.DLL", "QLMPOL56.DLL",
    "QLMHUN56.DLL",         "QLMRUS56.DLL", "QLMTUR56.DLL", "QLMSWE56.DLL", "QLMHEB56.DLL",
    "QLMSVK56.DLL",         "QLMLIT56.DLL", "QLMCHI56.DLL", "QLMSCH56.DLL", "QLMTAI56.DLL",
    "QLMKOR56.DLL",         "QLMJAP56.DLL", "QLMUKR56.DLL", "QLMNOR56.DLL", "QLMPBR56.DLL",
};
