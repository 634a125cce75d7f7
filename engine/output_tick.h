// The periodic step: centre the wheel, then publish axes X, Y, Z and buttons 7, 8.
#pragma once

void OutputTick();
