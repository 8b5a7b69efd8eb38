#pragma once

#include "link/SerialPort.h"

// Program start shared by the real program and the demo: the application, its
// title, the main window on the ports the opener gives, and the message loop.
int RunProgram(int argc, char** argv, TPortOpener opener);
