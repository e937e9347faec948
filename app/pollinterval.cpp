#include "app/pollinterval.h"

int pollIntervalMs = 1000;
