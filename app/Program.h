#pragma once

#include "link/PortSystem.h"

// Program start shared by the real program and the demo: the application, its
// title, the main window on the given ports, and the message loop. The demo keeps a
// journal of its own.
int RunProgram(int argc, char** argv, TPortSystem ports, bool demo = false);
