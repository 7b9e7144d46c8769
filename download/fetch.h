// Fetching the standings and schedule files from the data server.
#pragma once

#include "platform/platform.h"

void CloseInternetHandles();
