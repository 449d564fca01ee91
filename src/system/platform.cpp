#include "system/platform.h"

PlatformApi &Platform() {
    static PlatformApi api;
    return api;
}
